#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// Pictures larger than this many pixels are refused before any pixel memory is taken:
// 2^28 pixels, e.g. 16384 x 16384 or 21000 x 12700. Decoders of compressed data also refuse
// sizes that their data could not plausibly describe, so a small file cannot claim it.
inline constexpr std::int64_t kMaxPicturePixels = std::int64_t{1} << 28;

// A picture decoded by one of our own readers: 8-bit samples, top row first.
struct DecodedPicture {
    int width = 0;
    int height = 0;
    int bands = 3;         // 3 (R, G, B) or 4 (R, G, B, alpha)
    int bitsPerPixel = 24; // as stored in the file, before decoding
    std::vector<std::uint8_t> pixels;

    std::size_t rowBytes() const { return static_cast<std::size_t>(width) * bands; }
    std::uint8_t* row(int y) { return pixels.data() + rowBytes() * static_cast<std::size_t>(y); }
};

// Takes the pixel memory for a width x height picture of `bands` bands, zero-filled; false
// when the size is outside the limits or the memory is not available.
bool allocatePicture(DecodedPicture& picture, int width, int height, int bands);
