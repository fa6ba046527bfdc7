#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

// A picture as 8-bit red, green, blue triples, row after row without padding. Loaded from and
// saved as the uncompressed 24-bit bitmaps that the program itself writes (its wallpapers and
// the snapshot of the user's own background); the program decodes no other picture.
struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;

    const std::uint8_t* at(int x, int y) const {
        return pixels.data() + (static_cast<std::size_t>(y) * width + x) * 3;
    }
    std::uint8_t* at(int x, int y) {
        return pixels.data() + (static_cast<std::size_t>(y) * width + x) * 3;
    }

    // An uncompressed 24-bit bitmap as BitmapReader takes it, or nothing for any other file
    // and for one larger than any screen.
    static std::optional<RgbImage> load(const QString& path);
    // Writes an uncompressed 24-bit bitmap; false on failure.
    bool save(const QString& path) const;
};
