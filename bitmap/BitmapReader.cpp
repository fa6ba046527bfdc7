#include "bitmap/BitmapReader.h"

#include "bitmap/BitmapWriter.h"
#include "bitmap/OpenFlags.h"
#include "bitmap/PositionedIo.h"

#include <array>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::uint32_t get32(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::uint16_t get16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

bool readAll(int fd, std::uint8_t* out, std::size_t size, std::uint64_t at) {
    while (size > 0) {
        const ssize_t n = PositionedIo::readAt(fd, out, size, at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        out += n;
        at += static_cast<std::uint64_t>(n);
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

BitmapReader::~BitmapReader() {
    if (m_fd >= 0)
        ::close(m_fd);
}

std::optional<std::string> BitmapReader::open(const std::string& path, std::int64_t maxWidth,
                                              std::int64_t maxHeight) {
    if (m_fd >= 0)
        ::close(m_fd);
    // Not blocked by a FIFO at the name, and then refused as no regular file.
    m_fd = ::open(path.c_str(), O_RDONLY | O_BINARY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    struct stat info {};
    if (m_fd < 0 || ::fstat(m_fd, &info) != 0)
        return "cannot be opened";
    std::array<std::uint8_t, BitmapWriter::kHeadersSize> header{};
    if (!S_ISREG(info.st_mode) || !readAll(m_fd, header.data(), header.size(), 0) ||
        header[0] != 'B' || header[1] != 'M' || get32(&header[10]) != header.size() ||
        get32(&header[14]) != 40 || get16(&header[26]) != 1 || get16(&header[28]) != 24 ||
        get32(&header[30]) != 0)
        return "not an uncompressed 24-bit bitmap";
    const std::int64_t width = static_cast<std::int32_t>(get32(&header[18]));
    const std::int64_t signedHeight = static_cast<std::int32_t>(get32(&header[22]));
    const std::int64_t height = signedHeight < 0 ? -signedHeight : signedHeight;
    if (width <= 0 || height <= 0 || height > kAnySize)
        return "a bitmap without pixels";
    if (width > maxWidth || height > maxHeight)
        return "a " + std::to_string(width) + " x " + std::to_string(height) +
               " bitmap, larger than " + std::to_string(maxWidth) + " x " +
               std::to_string(maxHeight);
    m_stride = BitmapWriter::stride(width);
    if (static_cast<std::uint64_t>(info.st_size) != header.size() + m_stride * height)
        return "a bitmap whose length does not match its size";
    m_width = static_cast<int>(width);
    m_height = static_cast<int>(height);
    m_bottomUp = signedHeight > 0;
    return std::nullopt;
}

bool BitmapReader::read(int y, int first, int count, std::uint8_t* out) const {
    if (m_fd < 0 || y < 0 || y >= m_height || first < 0 || count < 0 || first > m_width - count)
        return false;
    const std::uint64_t row = static_cast<std::uint64_t>(m_bottomUp ? m_height - 1 - y : y);
    return readAll(m_fd, out, static_cast<std::size_t>(count) * 3,
                   BitmapWriter::kHeadersSize + row * m_stride +
                       static_cast<std::uint64_t>(first) * 3);
}
