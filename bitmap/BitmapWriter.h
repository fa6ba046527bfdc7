#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

// Writes uncompressed 24-bit Windows bitmaps: a 14-byte file header, a 40-byte information
// header, then the rows bottom-up in blue, green, red order, each padded to 4 bytes. Plain C++
// (no Qt), for the converter program too.
class BitmapWriter {
public:
    static constexpr std::uint32_t kHeadersSize = 14 + 40;
    using Headers = std::array<std::uint8_t, kHeadersSize>;

    // The bytes of one padded row of `width` pixels.
    static std::uint64_t stride(std::int64_t width);
    // Both headers of a `width` x `height` bitmap, rows bottom-up; nothing when the size is
    // unusable or the file would pass 4 GiB.
    static std::optional<Headers> headers(int width, int height);
    // Writes the bitmap into `file`, an open and empty file. `rgb` holds `height` rows of
    // `width` R, G, B triples, top row first. False when the size is unusable or a write
    // failed; the caller removes the file then.
    static bool write(int file, int width, int height, std::span<const std::uint8_t> rgb);

    // The same in parts, for pictures made a block of pixels at a time, in any order: first
    // the headers (the file then has its whole size, zeros where nothing is written yet), then
    // each block of `columns` x `count` pixels with its top left corner at `left`, `top` (0, 0
    // at the top left), R, G, B triples with rows `rgbStride` bytes apart, written into its
    // place. The file is a new, empty regular file; its position is not used.
    static bool writeHeaders(int file, int width, int height);
    static bool writeBlock(int file, int width, int height, int left, int top, int columns,
                           int count, const std::uint8_t* rgb, std::size_t rgbStride);
};
