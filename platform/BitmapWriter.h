#pragma once

#include <QString>
#include <cstdint>
#include <span>

// Writes uncompressed 24-bit Windows bitmaps: a 14-byte file header, a 40-byte information
// header, then the rows bottom-up in blue, green, red order, each padded to 4 bytes.
class BitmapWriter {
public:
    // `rgb` holds `height` rows of `width` R, G, B triples, top row first. The file appears
    // complete or not at all: it is written beside the target and renamed into place.
    static bool write(const QString& path, int width, int height,
                      std::span<const std::uint8_t> rgb);
};
