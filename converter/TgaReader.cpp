#include "converter/TgaReader.h"

#include "converter/ByteView.h"

#include <array>
#include <cstring>
#include <vector>

namespace {

constexpr std::size_t kHeaderSize = 18;
constexpr std::size_t kFooterSize = 26;
constexpr char kFooterSignature[] = "TRUEVISION-XFILE.";
// A run packet gives at most 128 pixels for two bytes.
constexpr std::int64_t kMaxPixelsPerByte = 64;

struct Header {
    int idLength = 0;
    int mapType = 0;
    int imageType = 0;
    int mapFirst = 0;
    int mapLength = 0;
    int mapEntryBits = 0;
    int width = 0;
    int height = 0;
    int bits = 0;
    int descriptor = 0;

    bool runLength() const { return imageType >= 9; }
    int kind() const { return imageType & 3; } // 1 colour-mapped, 2 true-colour, 3 grey
    std::size_t mapBytes() const {
        return mapType == 1 ? static_cast<std::size_t>(mapLength) * ((mapEntryBits + 7) / 8) : 0;
    }
    std::size_t dataOffset() const { return kHeaderSize + idLength + mapBytes(); }
};

Header parse(const ByteView& in) {
    Header h;
    h.idLength = in.u8(0);
    h.mapType = in.u8(1);
    h.imageType = in.u8(2);
    h.mapFirst = in.u16(3);
    h.mapLength = in.u16(5);
    h.mapEntryBits = in.u8(7);
    h.width = in.u16(12);
    h.height = in.u16(14);
    h.bits = in.u8(16);
    h.descriptor = in.u8(17);
    return h;
}

bool consistent(const ByteView& in, const Header& h) {
    if (!in.has(0, kHeaderSize) || h.mapType > 1 || h.width == 0 || h.height == 0)
        return false;
    if (h.imageType != 1 && h.imageType != 2 && h.imageType != 3 && h.imageType != 9 &&
        h.imageType != 10 && h.imageType != 11)
        return false;
    if ((h.descriptor & 0xC0) != 0) // interleaved rows: obsolete, and never written
        return false;
    if (h.mapType == 1 && h.mapEntryBits != 15 && h.mapEntryBits != 16 && h.mapEntryBits != 24 &&
        h.mapEntryBits != 32)
        return false;
    switch (h.kind()) {
    case 1:
        if (h.mapType != 1 || h.mapLength == 0 || (h.bits != 8 && h.bits != 16))
            return false;
        break;
    case 2:
        if (h.bits != 15 && h.bits != 16 && h.bits != 24 && h.bits != 32)
            return false;
        break;
    default:
        if (h.bits != 8 && h.bits != 16)
            return false;
    }
    return true;
}

std::array<std::uint8_t, 4> colour(const std::uint8_t* p, int bits, bool alpha) {
    switch (bits) {
    case 15:
    case 16: {
        const int v = p[0] | p[1] << 8;
        auto scale = [](int five) { return static_cast<std::uint8_t>(five << 3 | five >> 2); };
        return {scale(v >> 10 & 31), scale(v >> 5 & 31), scale(v & 31), 255};
    }
    case 24:
        return {p[2], p[1], p[0], 255};
    default:
        return {p[2], p[1], p[0], alpha ? p[3] : std::uint8_t{255}};
    }
}

} // namespace

bool TgaReader::canRead(std::span<const std::uint8_t> bytes) {
    const ByteView in(bytes);
    return consistent(in, parse(in));
}

bool TgaReader::read(std::span<const std::uint8_t> bytes, DecodedPicture& picture) {
    const ByteView in(bytes);
    const Header h = parse(in);
    if (!consistent(in, h))
        return false;
    if (static_cast<std::int64_t>(h.width) * h.height > kMaxPicturePixels)
        return false;

    // Version 2 files end with a footer (and may carry extension data before it), which is
    // not pixel data.
    std::size_t dataEnd = in.size();
    if (in.size() >= kHeaderSize + kFooterSize &&
        std::memcmp(in.data() + in.size() - 18, kFooterSignature, 18) == 0) {
        dataEnd = in.size() - kFooterSize;
        const std::uint32_t extension = in.u32(in.size() - kFooterSize);
        const std::uint32_t developer = in.u32(in.size() - kFooterSize + 4);
        for (std::uint32_t area : {extension, developer})
            if (area >= h.dataOffset() && area < dataEnd)
                dataEnd = area;
    }
    const std::size_t offset = h.dataOffset();
    if (offset >= dataEnd || !in.has(offset, 1))
        return false;
    const std::size_t pixelBytes = (h.bits + 7) / 8;
    const std::int64_t pixels = static_cast<std::int64_t>(h.width) * h.height;
    const std::int64_t dataBytes = static_cast<std::int64_t>(dataEnd - offset);
    if (h.runLength() ? pixels > dataBytes * kMaxPixelsPerByte
                      : pixels * static_cast<std::int64_t>(pixelBytes) > dataBytes)
        return false; // a bomb, or a truncated file

    // Colour map, as RGBA.
    std::vector<std::array<std::uint8_t, 4>> map;
    if (h.kind() == 1) {
        const std::size_t entryBytes = (h.mapEntryBits + 7) / 8;
        const std::size_t start = kHeaderSize + h.idLength;
        if (!in.has(start, h.mapBytes()))
            return false;
        map.reserve(h.mapLength);
        for (int i = 0; i < h.mapLength; ++i)
            map.push_back(
                colour(in.data() + start + i * entryBytes, h.mapEntryBits, h.mapEntryBits == 32));
    }
    const bool alpha = (h.kind() == 2 && h.bits == 32 && (h.descriptor & 15) != 0) ||
                       (h.kind() == 3 && h.bits == 16);
    const int bands = alpha ? 4 : 3;
    if (!allocatePicture(picture, h.width, h.height, bands))
        return false;
    picture.bitsPerPixel = h.bits;

    const bool rightToLeft = h.descriptor & 0x10;
    const bool topDown = h.descriptor & 0x20;
    auto store = [&](std::int64_t index, const std::uint8_t* p) {
        const int x = static_cast<int>(index % h.width);
        const int y = static_cast<int>(index / h.width);
        std::uint8_t* dst = picture.row(topDown ? y : h.height - 1 - y) +
                            static_cast<std::size_t>(rightToLeft ? h.width - 1 - x : x) * bands;
        std::array<std::uint8_t, 4> c{};
        if (h.kind() == 1) {
            const int entry = (h.bits == 8 ? p[0] : p[0] | p[1] << 8) - h.mapFirst;
            if (entry >= 0 && entry < static_cast<int>(map.size()))
                c = map[entry];
        } else if (h.kind() == 2) {
            c = colour(p, h.bits, alpha);
        } else {
            c = {p[0], p[0], p[0], h.bits == 16 ? p[1] : std::uint8_t{255}};
        }
        std::memcpy(dst, c.data(), bands);
    };

    std::size_t pos = offset;
    if (!h.runLength()) {
        for (std::int64_t i = 0; i < pixels; ++i, pos += pixelBytes)
            store(i, in.data() + pos);
        return true;
    }
    for (std::int64_t i = 0; i < pixels;) {
        if (!in.has(pos, 1) || pos >= dataEnd) {
            picture.pixels.clear();
            return false; // truncated
        }
        const int packet = in.u8(pos++);
        const int count = (packet & 0x7F) + 1;
        const bool repeat = packet & 0x80;
        const std::size_t need = repeat ? pixelBytes : pixelBytes * count;
        if (!in.has(pos, need) || pos + need > dataEnd) {
            picture.pixels.clear();
            return false;
        }
        for (int k = 0; k < count && i < pixels; ++k, ++i)
            store(i, in.data() + pos + (repeat ? 0 : k * pixelBytes));
        pos += need;
    }
    return true;
}
