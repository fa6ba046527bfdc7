#include "bitmap/BitmapWriter.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <limits>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::uint32_t kHeadersSize = BitmapWriter::kHeadersSize;
constexpr std::int32_t kPixelsPerMetre = 2835; // 72 dots per inch
// Rows are gathered into writes of about this size.
constexpr std::size_t kChunkBytes = 256 * 1024;

void put16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

void put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

bool writeAll(int file, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(file, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool writeAllAt(int file, const std::uint8_t* data, std::size_t size, std::uint64_t at) {
    while (size > 0) {
        const ssize_t n = ::pwrite(file, data, size, static_cast<off_t>(at));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        at += static_cast<std::uint64_t>(n);
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// One row in the bitmap's blue, green, red order; the padding is left as it is.
void toBgr(const std::uint8_t* rgb, int width, std::uint8_t* row) {
    for (int x = 0; x < width; ++x) {
        row[x * 3] = rgb[x * 3 + 2];
        row[x * 3 + 1] = rgb[x * 3 + 1];
        row[x * 3 + 2] = rgb[x * 3];
    }
}

} // namespace

std::uint64_t BitmapWriter::stride(std::int64_t width) {
    return (static_cast<std::uint64_t>(width) * 3 + 3) & ~std::uint64_t{3};
}

std::optional<BitmapWriter::Headers> BitmapWriter::headers(int width, int height) {
    if (width <= 0 || height <= 0)
        return std::nullopt;
    const std::uint64_t imageSize = stride(width) * static_cast<std::uint64_t>(height);
    if (imageSize + kHeadersSize > std::numeric_limits<std::uint32_t>::max())
        return std::nullopt;
    Headers header{};
    header[0] = 'B';
    header[1] = 'M';
    put32(&header[2], static_cast<std::uint32_t>(imageSize + kHeadersSize));
    put32(&header[10], kHeadersSize);
    put32(&header[14], 40);
    put32(&header[18], static_cast<std::uint32_t>(width));
    put32(&header[22], static_cast<std::uint32_t>(height)); // positive: bottom row first
    put16(&header[26], 1);                                  // planes
    put16(&header[28], 24);                                 // bits per pixel
    put32(&header[30], 0);                                  // uncompressed
    put32(&header[34], static_cast<std::uint32_t>(imageSize));
    put32(&header[38], kPixelsPerMetre);
    put32(&header[42], kPixelsPerMetre);
    return header;
}

bool BitmapWriter::write(int file, int width, int height, std::span<const std::uint8_t> rgb) {
    const std::optional<Headers> header = headers(width, height);
    if (!header)
        return false;
    const std::uint64_t rowBytes = static_cast<std::uint64_t>(width) * 3;
    const std::uint64_t stride = BitmapWriter::stride(width);
    if (rgb.size() < rowBytes * static_cast<std::uint64_t>(height))
        return false;
    if (!writeAll(file, header->data(), header->size()))
        return false;

    // Not synced to disk: the bitmap is made again at the next change, and a sync costs more
    // than the conversion on slow disks.
    const std::size_t rowsPerChunk = std::max<std::size_t>(1, kChunkBytes / stride);
    std::vector<std::uint8_t> chunk(stride * rowsPerChunk, 0);
    std::size_t filled = 0;
    for (int y = height - 1; y >= 0; --y) {
        const std::uint8_t* src = rgb.data() + rowBytes * static_cast<std::uint64_t>(y);
        toBgr(src, width, chunk.data() + filled);
        filled += stride;
        if ((filled == chunk.size() || y == 0) && !writeAll(file, chunk.data(), filled))
            return false;
        if (filled == chunk.size())
            filled = 0;
    }
    return true;
}

bool BitmapWriter::writeHeaders(int file, int width, int height) {
    const std::optional<Headers> header = headers(width, height);
    if (!header)
        return false;
    // The file is empty: its last byte gives it its whole size (ftruncate is not among the
    // calls the converter's sandbox allows).
    const std::uint64_t size = kHeadersSize + stride(width) * static_cast<std::uint64_t>(height);
    const std::uint8_t zero = 0;
    return writeAllAt(file, &zero, 1, size - 1) &&
           writeAllAt(file, header->data(), header->size(), 0);
}

bool BitmapWriter::writeBlock(int file, int width, int height, int left, int top, int columns,
                              int count, const std::uint8_t* rgb, std::size_t rgbStride) {
    if (left < 0 || top < 0 || columns <= 0 || count <= 0 || left + columns > width ||
        top + count > height)
        return false;
    // Bottom row first in the file: the block's rows lie there one after another, reversed;
    // whole rows with their padding in one write.
    const std::uint64_t stride = BitmapWriter::stride(width);
    const bool whole = columns == width;
    const std::uint64_t rowBytes = whole ? stride : static_cast<std::uint64_t>(columns) * 3;
    std::vector<std::uint8_t> rows(rowBytes * static_cast<std::uint64_t>(count), 0);
    for (int i = 0; i < count; ++i)
        toBgr(rgb + rgbStride * static_cast<std::size_t>(count - 1 - i), columns,
              rows.data() + rowBytes * static_cast<std::uint64_t>(i));
    const std::uint64_t first = kHeadersSize +
                                stride * static_cast<std::uint64_t>(height - top - count) +
                                static_cast<std::uint64_t>(left) * 3;
    if (whole)
        return writeAllAt(file, rows.data(), rows.size(), first);
    for (int i = 0; i < count; ++i)
        if (!writeAllAt(file, rows.data() + rowBytes * static_cast<std::uint64_t>(i), rowBytes,
                        first + stride * static_cast<std::uint64_t>(i)))
            return false;
    return true;
}
