#pragma once

#include "converter/DecodedPicture.h"

#include <cstdint>
#include <span>

// ZSoft paintbrush pictures: monochrome, 4-colour, 16-colour (packed or planar), 256-colour
// with the palette at the end of the file (grey when it is missing) and 24-bit planar.
class PcxReader {
public:
    static bool canRead(std::span<const std::uint8_t> bytes);
    static bool read(std::span<const std::uint8_t> bytes, DecodedPicture& picture);
};
