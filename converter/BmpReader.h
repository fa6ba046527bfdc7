#pragma once

#include "converter/DecodedPicture.h"

#include <cstdint>
#include <span>

// Windows and OS/2 bitmaps: 1, 4, 8, 16, 24 and 32 bits per pixel, uncompressed, RLE4, RLE8
// and bit-field masks. Truncated or inconsistent files are refused, never half-decoded.
class BmpReader {
public:
    static bool canRead(std::span<const std::uint8_t> bytes);
    static bool read(std::span<const std::uint8_t> bytes, DecodedPicture& picture);
};
