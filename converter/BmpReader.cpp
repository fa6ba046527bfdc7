#include "converter/BmpReader.h"

#include "converter/ByteView.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>
#include <limits>

namespace {

constexpr std::uint32_t kRgb = 0;
constexpr std::uint32_t kRle8 = 1;
constexpr std::uint32_t kRle4 = 2;
constexpr std::uint32_t kBitFields = 3;
constexpr std::uint32_t kAlphaBitFields = 6;
constexpr std::size_t kFileHeaderSize = 14;

// Run-length data can describe many pixels per byte, but a file this much smaller than the
// picture it claims is a decompression bomb, not a picture.
constexpr std::int64_t kMaxRlePixelsPerByte = 1024;

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
};

// One colour channel described by a bit mask, scaled to 8 bits.
struct Channel {
    std::uint32_t mask = 0;
    int shift = 0;
    int bits = 0;

    explicit Channel(std::uint32_t m = 0) : mask(m) {
        if (mask) {
            shift = std::countr_zero(mask);
            bits = std::bit_width(mask >> shift);
        }
    }
    // Contiguous masks only (no holes between the lowest and highest bit): anything else is
    // not a channel a real encoder writes.
    bool valid() const { return mask == 0 || std::popcount(mask) == bits; }
    std::uint8_t value(std::uint32_t pixel) const {
        if (!mask)
            return 0;
        const std::uint32_t v = (pixel & mask) >> shift;
        if (bits >= 8)
            return static_cast<std::uint8_t>(v >> (bits - 8));
        const std::uint32_t max = (1u << bits) - 1;
        return static_cast<std::uint8_t>((v * 255 + max / 2) / max);
    }
};

struct Header {
    std::uint32_t dataOffset = 0;
    std::uint32_t headerSize = 0;
    std::int64_t width = 0;
    std::int64_t height = 0; // negative: top row first
    int bits = 0;
    std::uint32_t compression = kRgb;
    std::uint32_t colours = 0;
    Channel red, green, blue, alpha;
};

bool readHeader(const ByteView& in, Header& h) {
    if (!in.has(0, kFileHeaderSize + 12) || in.u8(0) != 'B' || in.u8(1) != 'M')
        return false;
    h.dataOffset = in.u32(10);
    h.headerSize = in.u32(14);
    const std::size_t p = kFileHeaderSize;
    if (h.headerSize == 12) { // OS/2 1.x core header
        h.width = in.u16(p + 4);
        h.height = in.u16(p + 6);
        h.bits = in.u16(p + 10);
    } else if (h.headerSize == 40 || h.headerSize == 52 || h.headerSize == 56 ||
               h.headerSize == 108 || h.headerSize == 124) {
        if (!in.has(p, h.headerSize))
            return false;
        h.width = static_cast<std::int32_t>(in.u32(p + 4));
        h.height = static_cast<std::int32_t>(in.u32(p + 8));
        h.bits = in.u16(p + 14);
        h.compression = in.u32(p + 16);
        h.colours = in.u32(p + 32);
    } else {
        return false;
    }
    if (h.width <= 0 || h.height == 0 || h.width * std::abs(h.height) > kMaxPicturePixels)
        return false;

    switch (h.compression) {
    case kRgb:
        if (h.bits != 1 && h.bits != 4 && h.bits != 8 && h.bits != 16 && h.bits != 24 &&
            h.bits != 32)
            return false;
        if (h.bits == 16)
            h.red = Channel(0x7C00), h.green = Channel(0x03E0), h.blue = Channel(0x001F);
        else if (h.bits == 32) // the fourth byte of a plain 32-bit bitmap is not alpha
            h.red = Channel(0xFF0000), h.green = Channel(0xFF00), h.blue = Channel(0xFF);
        break;
    case kRle8:
    case kRle4:
        if (h.bits != (h.compression == kRle8 ? 8 : 4) || h.height < 0)
            return false;
        break;
    case kBitFields:
    case kAlphaBitFields: {
        if (h.bits != 16 && h.bits != 32)
            return false;
        // Masks follow a 40-byte header, or sit inside the larger ones.
        const std::size_t m = p + 40;
        const bool withAlpha = h.compression == kAlphaBitFields || h.headerSize >= 56;
        if (!in.has(m, withAlpha ? 16 : 12))
            return false;
        h.red = Channel(in.u32(m));
        h.green = Channel(in.u32(m + 4));
        h.blue = Channel(in.u32(m + 8));
        if (withAlpha)
            h.alpha = Channel(in.u32(m + 12));
        for (const Channel* c : {&h.red, &h.green, &h.blue, &h.alpha})
            if (!c->valid())
                return false;
        break;
    }
    default: // embedded JPEG or PNG, Huffman and the rest: not read here
        return false;
    }
    return true;
}

std::array<Rgb, 256> readPalette(const ByteView& in, const Header& h, bool& ok) {
    std::array<Rgb, 256> palette{};
    ok = true;
    if (h.bits > 8)
        return palette;
    const std::size_t entrySize = h.headerSize == 12 ? 3 : 4;
    const std::uint32_t maxColours = 1u << h.bits;
    const std::uint32_t count = (h.colours == 0 || h.colours > maxColours) ? maxColours : h.colours;
    std::size_t start = kFileHeaderSize + h.headerSize;
    if (h.compression == kBitFields)
        start += 12;
    else if (h.compression == kAlphaBitFields)
        start += 16;
    // A palette cut short by the pixel data is read as far as it goes; none at all is refused.
    std::uint32_t available = count;
    if (h.dataOffset > start)
        available = std::min<std::uint64_t>(count, (h.dataOffset - start) / entrySize);
    if (available == 0 || !in.has(start, available * entrySize)) {
        ok = false;
        return palette;
    }
    for (std::uint32_t i = 0; i < available; ++i) {
        const std::size_t e = start + i * entrySize;
        palette[i] = {in.u8(e + 2), in.u8(e + 1), in.u8(e)};
    }
    return palette;
}

bool readUncompressed(const ByteView& in, const Header& h, const std::array<Rgb, 256>& palette,
                      DecodedPicture& picture) {
    const int width = static_cast<int>(h.width);
    const int height = static_cast<int>(std::abs(h.height));
    const std::uint64_t stride = (static_cast<std::uint64_t>(width) * h.bits + 31) / 32 * 4;
    if (!in.has(h.dataOffset, stride * static_cast<std::uint64_t>(height)))
        return false; // truncated
    const bool withAlpha = h.alpha.mask != 0;
    if (!allocatePicture(picture, width, height, withAlpha ? 4 : 3))
        return false;
    const int bands = picture.bands;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* src = in.data() + h.dataOffset + stride * static_cast<std::uint64_t>(y);
        std::uint8_t* dst = picture.row(h.height > 0 ? height - 1 - y : y);
        for (int x = 0; x < width; ++x, dst += bands) {
            switch (h.bits) {
            case 1:
            case 4:
            case 8: {
                const int perByte = 8 / h.bits;
                const int shift = 8 - h.bits * (x % perByte + 1);
                const int index = (src[x / perByte] >> shift) & ((1 << h.bits) - 1);
                dst[0] = palette[index].r, dst[1] = palette[index].g, dst[2] = palette[index].b;
                break;
            }
            case 24:
                dst[0] = src[x * 3 + 2], dst[1] = src[x * 3 + 1], dst[2] = src[x * 3];
                break;
            default: {
                const std::uint32_t pixel =
                    h.bits == 16 ? static_cast<std::uint32_t>(src[x * 2] | src[x * 2 + 1] << 8)
                                 : static_cast<std::uint32_t>(src[x * 4]) |
                                       static_cast<std::uint32_t>(src[x * 4 + 1]) << 8 |
                                       static_cast<std::uint32_t>(src[x * 4 + 2]) << 16 |
                                       static_cast<std::uint32_t>(src[x * 4 + 3]) << 24;
                dst[0] = h.red.value(pixel), dst[1] = h.green.value(pixel);
                dst[2] = h.blue.value(pixel);
                if (withAlpha)
                    dst[3] = h.alpha.value(pixel);
            }
            }
        }
    }
    return true;
}

// RLE4 and RLE8: bottom-up runs with end-of-line, end-of-bitmap and delta escapes. Pixels a
// delta skips stay black. Data that ends before the end-of-bitmap mark is a truncated file.
// Runs and deltas may point past the right or top edge; the position then stays at the edge,
// so its counters stay small however many escapes a file holds, and those pixels are dropped.
bool readRunLength(const ByteView& in, const Header& h, const std::array<Rgb, 256>& palette,
                   DecodedPicture& picture) {
    const int width = static_cast<int>(h.width);
    const int height = static_cast<int>(h.height);
    if (h.dataOffset >= in.size())
        return false;
    const std::int64_t dataBytes = static_cast<std::int64_t>(in.size() - h.dataOffset);
    if (h.width * h.height > dataBytes * kMaxRlePixelsPerByte)
        return false;
    if (!allocatePicture(picture, width, height, 3))
        return false;

    const bool four = h.compression == kRle4;
    std::size_t pos = h.dataOffset;
    int x = 0; // 0 ..= width
    int y = 0; // 0 ..= height, counted from the bottom row
    auto put = [&](int index) {
        if (x >= width)
            return;
        std::uint8_t* dst = picture.row(height - 1 - y) + static_cast<std::size_t>(x) * 3;
        dst[0] = palette[index].r, dst[1] = palette[index].g, dst[2] = palette[index].b;
        ++x;
    };
    while (y < height) {
        if (!in.has(pos, 2))
            return false;
        const int count = in.u8(pos);
        const int value = in.u8(pos + 1);
        pos += 2;
        if (count > 0) { // a run of one index (RLE8) or two alternating ones (RLE4)
            for (int i = 0; i < count && x < width; ++i)
                put(four ? ((i % 2 == 0) ? value >> 4 : value & 15) : value);
            continue;
        }
        if (value == 0) { // end of line
            x = 0;
            ++y;
        } else if (value == 1) { // end of bitmap
            return true;
        } else if (value == 2) { // delta
            if (!in.has(pos, 2))
                return false;
            x = std::min(x + in.u8(pos), width);
            y = std::min(y + in.u8(pos + 1), height);
            pos += 2;
        } else { // `value` literal indexes, padded to a 16-bit boundary
            const std::size_t bytes = four ? (value + 1) / 2 : value;
            if (!in.has(pos, bytes))
                return false;
            for (int i = 0; i < value && x < width; ++i) {
                const int b = in.u8(pos + (four ? i / 2 : i));
                put(four ? ((i % 2 == 0) ? b >> 4 : b & 15) : b);
            }
            pos += bytes + (bytes & 1);
        }
    }
    return true; // every row written; a missing end-of-bitmap mark after them is harmless
}

} // namespace

bool BmpReader::canRead(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M';
}

bool BmpReader::read(std::span<const std::uint8_t> bytes, DecodedPicture& picture) {
    const ByteView in(bytes);
    Header h;
    if (!readHeader(in, h))
        return false;
    bool paletteOk = true;
    const auto palette = readPalette(in, h, paletteOk);
    if (!paletteOk)
        return false;
    picture.bitsPerPixel = h.bits;
    const bool ok = (h.compression == kRle8 || h.compression == kRle4)
                        ? readRunLength(in, h, palette, picture)
                        : readUncompressed(in, h, palette, picture);
    if (!ok)
        picture.pixels.clear();
    return ok;
}
