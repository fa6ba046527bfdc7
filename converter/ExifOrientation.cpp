#include "converter/ExifOrientation.h"

#include <cstring>

namespace {

constexpr std::uint16_t kOrientationTag = 274;
constexpr std::uint16_t kShort = 3;

// The orientation in a TIFF structure (a TIFF file, or a JPEG's Exif segment): the first
// directory's entry for the tag.
int inTiff(std::span<const std::uint8_t> tiff) {
    if (tiff.size() < 8)
        return 1;
    const bool big = tiff[0] == 'M' && tiff[1] == 'M';
    if (!big && !(tiff[0] == 'I' && tiff[1] == 'I'))
        return 1;
    auto u16 = [&](std::size_t at) -> std::uint32_t {
        return big ? tiff[at] << 8 | tiff[at + 1] : tiff[at] | tiff[at + 1] << 8;
    };
    auto u32 = [&](std::size_t at) -> std::uint32_t {
        return big ? u16(at) << 16 | u16(at + 2) : u16(at) | u16(at + 2) << 16;
    };
    const std::uint32_t directory = u32(4);
    if (u16(2) != 42 || directory > tiff.size() - 2)
        return 1;
    const std::uint32_t count = u16(directory);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t entry = directory + 2 + std::size_t{12} * i;
        if (entry + 12 > tiff.size())
            break;
        if (u16(entry) != kOrientationTag)
            continue;
        const std::uint32_t value = u16(entry + 8);
        return u16(entry + 2) == kShort && value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
    }
    return 1;
}

} // namespace

int ExifOrientation::of(std::span<const std::uint8_t> file) {
    if (file.size() < 4)
        return 1;
    if (!(file[0] == 0xFF && file[1] == 0xD8))
        return inTiff(file);
    // The JPEG's segments up to its scan: the first Exif one.
    std::size_t at = 2;
    while (at + 4 <= file.size() && file[at] == 0xFF) {
        const std::uint8_t marker = file[at + 1];
        const std::size_t length = std::size_t{file[at + 2]} << 8 | file[at + 3];
        if (marker == 0xDA || marker == 0xD9 || length < 2 || at + 2 + length > file.size())
            break;
        if (marker == 0xE1 && length >= 8 && std::memcmp(&file[at + 4], "Exif\0\0", 6) == 0)
            return inTiff(file.subspan(at + 10, length - 8));
        at += 2 + length;
    }
    return 1;
}
