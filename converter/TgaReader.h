#pragma once

#include "converter/DecodedPicture.h"

#include <cstdint>
#include <span>

// Truevision targa pictures, with or without the version 2 footer: colour-mapped, true-colour
// (15, 16, 24, 32 bits) and grey, uncompressed or run-length encoded, in any corner order.
// The format has no signature, so canRead checks that the 18-byte header is consistent.
class TgaReader {
public:
    static bool canRead(std::span<const std::uint8_t> bytes);
    static bool read(std::span<const std::uint8_t> bytes, DecodedPicture& picture);
};
