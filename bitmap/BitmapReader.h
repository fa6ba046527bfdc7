#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string>

// Reads the uncompressed 24-bit bitmaps that BitmapWriter writes, a part of a row at a time:
// nothing of the picture is held, so a header that claims a huge picture costs nothing. Only
// such a bitmap is taken: both headers as BitmapWriter writes them (rows bottom-up or top-down),
// then the rows, and the file exactly that long. Plain C++ (no Qt).
class BitmapReader {
public:
    static constexpr std::int64_t kAnySize = std::numeric_limits<std::int32_t>::max();

    BitmapReader() = default;
    ~BitmapReader();
    BitmapReader(const BitmapReader&) = delete;
    BitmapReader& operator=(const BitmapReader&) = delete;

    // Opens the file `path` (its name as the file system has it) and reads its headers.
    // Nothing when it is such a bitmap of at most `maxWidth` x `maxHeight` pixels, else why
    // not in a few words.
    std::optional<std::string> open(const std::string& path, std::int64_t maxWidth = kAnySize,
                                    std::int64_t maxHeight = kAnySize);

    int width() const { return m_width; }
    int height() const { return m_height; }
    // `count` pixels of row `y` (0 at the top) from column `first`, as blue, green, red
    // triples, into `out`. False when they cannot be read or lie outside the bitmap.
    bool read(int y, int first, int count, std::uint8_t* out) const;

private:
    int m_fd = -1;
    int m_width = 0;
    int m_height = 0;
    bool m_bottomUp = true;
    std::uint64_t m_stride = 0;
};
