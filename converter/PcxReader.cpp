#include "converter/PcxReader.h"

#include "converter/ByteView.h"

#include <array>
#include <vector>

namespace {

constexpr std::size_t kHeaderSize = 128;
constexpr std::size_t kPaletteSize = 769; // marker 12, then 256 RGB triples
// A run is at most 63 bytes out of two in the file.
constexpr std::int64_t kMaxExpansion = 32;

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
};

} // namespace

bool PcxReader::canRead(std::span<const std::uint8_t> bytes) {
    const ByteView in(bytes);
    if (!in.has(0, kHeaderSize) || in.u8(0) != 0x0A)
        return false;
    const int version = in.u8(1);
    const int encoding = in.u8(2);
    const int bits = in.u8(3);
    return (version == 0 || version == 2 || version == 3 || version == 4 || version == 5) &&
           encoding <= 1 && (bits == 1 || bits == 2 || bits == 4 || bits == 8);
}

bool PcxReader::read(std::span<const std::uint8_t> bytes, DecodedPicture& picture) {
    if (!canRead(bytes))
        return false;
    const ByteView in(bytes);
    const bool runLength = in.u8(2) == 1;
    const int bits = in.u8(3);
    const int xMin = in.u16(4), yMin = in.u16(6), xMax = in.u16(8), yMax = in.u16(10);
    const int planes = in.u8(65);
    const std::size_t bytesPerLine = in.u16(66);
    if (xMax < xMin || yMax < yMin)
        return false;
    const int width = xMax - xMin + 1;
    const int height = yMax - yMin + 1;
    // The layouts real encoders write; everything else is refused.
    const bool planar16 = bits == 1 && planes >= 2 && planes <= 4;
    const bool packed = planes == 1;
    const bool trueColour = bits == 8 && (planes == 3 || planes == 4);
    if (!packed && !planar16 && !trueColour)
        return false;
    if (bytesPerLine * 8 < static_cast<std::size_t>(width) * bits)
        return false;

    // 256 colours: the palette sits in the last 769 bytes; without it the picture is grey.
    std::size_t dataEnd = in.size();
    std::array<Rgb, 256> palette{};
    if (bits == 8 && planes == 1) {
        const bool hasPalette =
            in.size() >= kHeaderSize + kPaletteSize && in.u8(in.size() - kPaletteSize) == 12;
        const std::size_t start = in.size() - kPaletteSize + 1;
        for (int i = 0; i < 256; ++i) {
            palette[i] = hasPalette ? Rgb{in.u8(start + i * 3), in.u8(start + i * 3 + 1),
                                          in.u8(start + i * 3 + 2)}
                                    : Rgb{std::uint8_t(i), std::uint8_t(i), std::uint8_t(i)};
        }
        if (hasPalette)
            dataEnd = in.size() - kPaletteSize;
    } else if (bits == 1 && planes == 1) {
        palette[1] = {255, 255, 255};
    } else {
        for (int i = 0; i < 16; ++i)
            palette[i] = {in.u8(16 + i * 3), in.u8(17 + i * 3), in.u8(18 + i * 3)};
    }

    const std::size_t scanline = bytesPerLine * planes;
    const std::int64_t total = static_cast<std::int64_t>(scanline) * height;
    const std::int64_t dataBytes = static_cast<std::int64_t>(dataEnd - kHeaderSize);
    if (total > dataBytes * (runLength ? kMaxExpansion : 1))
        return false; // a bomb, or a truncated uncompressed file
    if (!allocatePicture(picture, width, height, 3))
        return false;
    picture.bitsPerPixel = bits * planes;

    std::vector<std::uint8_t> line(scanline);
    std::size_t pos = kHeaderSize;
    int pendingCount = 0; // runs may carry on into the next scanline
    std::uint8_t pendingValue = 0;
    for (int y = 0; y < height; ++y) {
        for (std::size_t i = 0; i < scanline;) {
            if (pendingCount > 0) {
                line[i++] = pendingValue;
                --pendingCount;
                continue;
            }
            if (pos >= dataEnd) {
                picture.pixels.clear();
                return false; // truncated
            }
            const std::uint8_t c = in.u8(pos++);
            if (runLength && (c & 0xC0) == 0xC0) {
                if (pos >= dataEnd) {
                    picture.pixels.clear();
                    return false;
                }
                pendingCount = c & 0x3F;
                pendingValue = in.u8(pos++);
            } else {
                line[i++] = c;
            }
        }

        std::uint8_t* dst = picture.row(y);
        for (int x = 0; x < width; ++x, dst += 3) {
            if (trueColour) {
                dst[0] = line[x];
                dst[1] = line[bytesPerLine + x];
                dst[2] = line[2 * bytesPerLine + x];
                continue;
            }
            int index = 0;
            if (planar16) {
                for (int p = 0; p < planes; ++p)
                    index |= ((line[p * bytesPerLine + x / 8] >> (7 - x % 8)) & 1) << p;
            } else {
                const int perByte = 8 / bits;
                const int shift = 8 - bits * (x % perByte + 1);
                index = (line[x / perByte] >> shift) & ((1 << bits) - 1);
            }
            dst[0] = palette[index].r, dst[1] = palette[index].g, dst[2] = palette[index].b;
        }
    }
    return true;
}
