#pragma once

#include <cstdint>
#include <span>

// Writes uncompressed 24-bit Windows bitmaps: a 14-byte file header, a 40-byte information
// header, then the rows bottom-up in blue, green, red order, each padded to 4 bytes. Plain C++
// (no Qt), for the converter program too.
class BitmapWriter {
public:
    // Writes the bitmap into `file`, an open and empty file. `rgb` holds `height` rows of
    // `width` R, G, B triples, top row first. False when the size is unusable or a write
    // failed; the caller removes the file then.
    static bool write(int file, int width, int height, std::span<const std::uint8_t> rgb);
};
