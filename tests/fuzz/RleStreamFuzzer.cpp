// Run-length streams of any length for our own BMP, PCX and TGA readers, built from a short
// description, so that streams of tens of megabytes (millions of escapes, counters driven to
// their limits) are reached from inputs of a few bytes. The readers never crash, never write
// outside the picture and never describe more pixels than they allocated.
//
// The input: format (BMP RLE8, BMP RLE4, PCX, TGA), a variant byte, width and height (16 bits
// each), then chunks that each append one byte pattern a number of times. A chunk starts with
// a header byte whose bits 7-6 give the count (0 and 1: once, 2: a byte follows, 3: two bytes
// follow, little-endian) and bits 5-0 the pattern's length less one; the pattern comes after
// the count. A zero byte and an "L" make a long repeat instead: a header byte for the
// pattern's length, a 24-bit count, the pattern. Long repeats take seconds to decode, so they
// are kept rare, yet one dictionary word away.
// The file's header (with a palette where the format has one) is made for the stream.
#include "converter/BmpReader.h"
#include "converter/PcxReader.h"
#include "converter/TgaReader.h"
#include "tests/fuzz/ReaderCheck.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// Room for ten million escapes of four bytes: deltas of 255 columns carry a 32-bit column
// counter past its largest value after 8.4 million.
constexpr std::size_t kMaxStreamBytes = 40u << 20;
constexpr std::int64_t kMaxPixels = 1 << 16;

using Bytes = std::vector<std::uint8_t>;

void put16(Bytes& b, unsigned v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}

void set16(Bytes& b, std::size_t at, unsigned v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void put32(Bytes& b, std::uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

// Colours that differ from the black a reader starts with.
void putPalette(Bytes& b, int entries, int entryBytes) {
    for (int i = 0; i < entries; ++i) {
        b.push_back(static_cast<std::uint8_t>(i));
        b.push_back(static_cast<std::uint8_t>(255 - i));
        b.push_back(static_cast<std::uint8_t>(i * 7 + 1));
        if (entryBytes == 4)
            b.push_back(0);
    }
}

Bytes bmpHeader(bool four, int width, int height, std::size_t streamBytes) {
    const int colours = four ? 16 : 256;
    const std::uint32_t offset = 14 + 40 + colours * 4;
    Bytes b{'B', 'M'};
    put32(b, static_cast<std::uint32_t>(offset + streamBytes));
    put32(b, 0);
    put32(b, offset);
    put32(b, 40);
    put32(b, static_cast<std::uint32_t>(width));
    put32(b, static_cast<std::uint32_t>(height));
    put16(b, 1);
    put16(b, four ? 4 : 8);
    put32(b, four ? 2 : 1);
    put32(b, static_cast<std::uint32_t>(streamBytes));
    put32(b, 2835);
    put32(b, 2835);
    put32(b, 0);
    put32(b, 0);
    putPalette(b, colours, 4);
    return b;
}

Bytes pcxHeader(int variant, int width, int height) {
    static constexpr int kLayouts[][2] = {{8, 1}, {8, 3}, {8, 4}, {1, 1}, {1, 4}, {4, 1}, {2, 1}};
    const auto& layout = kLayouts[(variant & 15) % 7];
    const int bits = layout[0], planes = layout[1];
    // Lines of the minimum length, or longer by up to 15 bytes.
    const unsigned bytesPerLine = ((width * bits + 7) / 8 + 1) / 2 * 2 + (variant >> 4);
    Bytes b(128, 0);
    b[0] = 0x0A, b[1] = 5, b[2] = 1, b[3] = static_cast<std::uint8_t>(bits);
    set16(b, 8, width - 1);
    set16(b, 10, height - 1);
    for (int i = 16; i < 64; ++i)
        b[i] = static_cast<std::uint8_t>(i * 5);
    b[65] = static_cast<std::uint8_t>(planes);
    set16(b, 66, bytesPerLine);
    return b;
}

Bytes tgaHeader(int variant, int width, int height) {
    // Colour-mapped, true colour of each depth, grey of each depth; run-length all.
    static constexpr int kKinds[][2] = {{9, 8},   {10, 15}, {10, 16}, {10, 24},
                                        {10, 32}, {11, 8},  {11, 16}};
    const auto& kind = kKinds[(variant & 15) % 7];
    Bytes b(18, 0);
    if (kind[0] == 9) // a map of 256 entries of 24 bits from index 0
        b[1] = 1, b[6] = 1, b[7] = 24;
    b[2] = static_cast<std::uint8_t>(kind[0]);
    set16(b, 12, width);
    set16(b, 14, height);
    b[16] = static_cast<std::uint8_t>(kind[1]);
    b[17] = static_cast<std::uint8_t>((variant & 0x30) | (kind[1] == 32 ? 8 : 0)); // direction
    if (kind[0] == 9)
        putPalette(b, 256, 3);
    return b;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 6)
        return 0;
    const int format = data[0] % 4;
    const int variant = data[1];
    const int width = data[2] | data[3] << 8;
    int height = data[4] | data[5] << 8;
    // Any width, but at most 65536 pixels: decoding larger pictures only costs time here,
    // and the limits on their size are the other image target's business.
    if (width > 0 && static_cast<std::int64_t>(width) * height > kMaxPixels)
        height = std::max<int>(1, kMaxPixels / width);

    Bytes stream;
    std::size_t pos = 6;
    while (pos < size && stream.size() < kMaxStreamBytes) {
        int head = data[pos++];
        int countBytes = head >> 6 == 3 ? 2 : head >> 6 == 2 ? 1 : 0;
        if (head == 0 && pos + 1 < size && data[pos] == 'L') { // a long repeat
            countBytes = 3;
            head = data[pos + 1];
            pos += 2;
        }
        const std::size_t length = (head & 63) + 1;
        std::size_t count = countBytes == 0 ? 1 : 0;
        for (int i = 0; i < countBytes && pos < size; ++i)
            count |= static_cast<std::size_t>(data[pos++]) << (8 * i);
        const std::size_t take = std::min(length, size - pos);
        if (take == 0)
            break;
        count = std::min(count, (kMaxStreamBytes - stream.size()) / take);
        const std::size_t start = stream.size();
        const std::size_t total = count * take;
        stream.resize(start + total);
        if (total > 0) { // the pattern, then ever larger copies of what is there
            std::memcpy(stream.data() + start, data + pos, take);
            for (std::size_t filled = take; filled < total;) {
                const std::size_t n = std::min(filled, total - filled);
                std::memcpy(stream.data() + start + filled, stream.data() + start, n);
                filled += n;
            }
        }
        pos += take;
    }

    Bytes file;
    bool (*read)(std::span<const std::uint8_t>, DecodedPicture&) = nullptr;
    switch (format) {
    case 0:
    case 1:
        file = bmpHeader(format == 1, width, height, stream.size());
        read = &BmpReader::read;
        break;
    case 2:
        file = pcxHeader(variant, width, height);
        read = &PcxReader::read;
        break;
    default:
        file = tgaHeader(variant, width, height);
        read = &TgaReader::read;
    }
    file.insert(file.end(), stream.begin(), stream.end());
    stream = Bytes();
    if (format == 2 && (variant & 0x80)) { // a 256-colour palette at the end
        file.push_back(12);
        putPalette(file, 256, 3);
    }
    // A buffer of exactly the file's size, so that any read past its end is caught.
    const std::size_t fileBytes = file.size();
    const std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[fileBytes]);
    std::memcpy(exact.get(), file.data(), fileBytes);
    file = Bytes();
    checkReader(read, std::span<const std::uint8_t>(exact.get(), fileBytes));
    return 0;
}
