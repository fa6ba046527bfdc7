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
// The file's header (with a palette where the format has one) is made for the stream. The file
// is built in memory kept from one input to the next, so a run costs what reading it costs.
#include "converter/BmpReader.h"
#include "converter/PcxReader.h"
#include "converter/TgaReader.h"
#include "tests/fuzz/ReaderCheck.h"

#include <algorithm>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>
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

// The chunks of the description after its 6-byte head, each as a pattern of `take` bytes
// repeated `count` times, the repeats capped so that the stream stays within kMaxStreamBytes.
template <typename Chunk>
void forEachChunk(const std::uint8_t* data, std::size_t size, Chunk chunk) {
    std::size_t pos = 6;
    std::size_t total = 0;
    while (pos < size && total < kMaxStreamBytes) {
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
        count = std::min(count, (kMaxStreamBytes - total) / take);
        chunk(data + pos, take, count);
        total += count * take;
        pos += take;
    }
}

// Memory for the largest file, made once and kept (a fresh 40 MB at every input costs more
// than reading it), followed by a page that cannot be touched: a file placed to end where the
// memory ends is caught reading one byte past its end.
std::span<std::uint8_t> fileMemory(std::size_t bytes) {
    static const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    static const std::size_t usable = (kMaxStreamBytes + (1 << 20) + page - 1) / page * page;
    static auto* const memory = [] {
        void* mapped = ::mmap(nullptr, usable + page, PROT_READ | PROT_WRITE,
                              MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED ||
            ::mprotect(static_cast<std::uint8_t*>(mapped) + usable, page, PROT_NONE) != 0)
            std::abort();
        return static_cast<std::uint8_t*>(mapped);
    }();
    return {memory + usable - bytes, bytes};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 6)
        return 0;
    const int format = data[0] % 4;
    const int variant = data[1];
    // PCX stores both less one, so a 0 there would be 65536 and escape the cap below.
    const int least = format == 2 ? 1 : 0;
    const int width = std::max(least, data[2] | data[3] << 8);
    int height = std::max(least, data[4] | data[5] << 8);
    // Any width, but at most 65536 pixels: decoding larger pictures only costs time here,
    // and the limits on their size are the other image target's business.
    if (width > 0 && static_cast<std::int64_t>(width) * height > kMaxPixels)
        height = std::max<int>(1, kMaxPixels / width);

    std::size_t streamBytes = 0;
    forEachChunk(data, size, [&](const std::uint8_t*, std::size_t take, std::size_t count) {
        streamBytes += take * count;
    });
    Bytes header;
    bool (*read)(std::span<const std::uint8_t>, DecodedPicture&) = nullptr;
    switch (format) {
    case 0:
    case 1:
        header = bmpHeader(format == 1, width, height, streamBytes);
        read = &BmpReader::read;
        break;
    case 2:
        header = pcxHeader(variant, width, height);
        read = &PcxReader::read;
        break;
    default:
        header = tgaHeader(variant, width, height);
        read = &TgaReader::read;
    }
    Bytes trailer;
    if (format == 2 && (variant & 0x80)) { // a 256-colour palette at the end
        trailer.push_back(12);
        putPalette(trailer, 256, 3);
    }

    // The file: the header, the stream (the pattern, then ever larger copies of it), the
    // trailer, ending where readable memory ends.
    const std::span<std::uint8_t> file = fileMemory(header.size() + streamBytes + trailer.size());
    std::memcpy(file.data(), header.data(), header.size());
    std::uint8_t* at = file.data() + header.size();
    forEachChunk(data, size,
                 [&at](const std::uint8_t* pattern, std::size_t take, std::size_t count) {
                     const std::size_t total = count * take;
                     if (total == 0)
                         return;
                     std::memcpy(at, pattern, take);
                     for (std::size_t filled = take; filled < total;) {
                         const std::size_t n = std::min(filled, total - filled);
                         std::memcpy(at + filled, at, n);
                         filled += n;
                     }
                     at += total;
                 });
    if (!trailer.empty())
        std::memcpy(at, trailer.data(), trailer.size());
    checkReader(read, file);
    return 0;
}
