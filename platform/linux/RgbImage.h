#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

// A picture as 8-bit red, green, blue triples, row after row without padding.
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

    // Any picture the image library reads (transparency flattened onto black), or nothing.
    static std::optional<RgbImage> load(const QString& path);
    // Writes the picture in the format its file name asks for; false on failure.
    bool save(const QString& path) const;
};
