#include "platform/BitmapWriter.h"

#include <QFileInfo>
#include <QTemporaryFile>
#include <array>
#include <cstdio>
#include <limits>
#include <vector>

namespace {

constexpr std::uint32_t kHeadersSize = 14 + 40;
constexpr std::int32_t kPixelsPerMetre = 2835; // 72 dots per inch

void put16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

void put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

} // namespace

bool BitmapWriter::write(const QString& path, int width, int height,
                         std::span<const std::uint8_t> rgb) {
    if (width <= 0 || height <= 0)
        return false;
    const std::uint64_t rowBytes = static_cast<std::uint64_t>(width) * 3;
    const std::uint64_t stride = (rowBytes + 3) & ~std::uint64_t{3};
    const std::uint64_t imageSize = stride * static_cast<std::uint64_t>(height);
    if (rgb.size() < rowBytes * static_cast<std::uint64_t>(height) ||
        imageSize + kHeadersSize > std::numeric_limits<std::uint32_t>::max())
        return false;

    std::array<std::uint8_t, kHeadersSize> header{};
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

    // Written beside the target and renamed over it, so a reader never sees half a bitmap
    // and a failed write leaves nothing. Not synced to disk: the bitmap is made again at the
    // next change, and a sync costs more than the conversion on slow disks.
    QTemporaryFile file(QFileInfo(path).absoluteFilePath() + QStringLiteral(".XXXXXX"));
    if (!file.open())
        return false;
    if (file.write(reinterpret_cast<const char*>(header.data()), header.size()) !=
        static_cast<qint64>(header.size()))
        return false;
    std::vector<std::uint8_t> row(stride, 0);
    for (int y = height - 1; y >= 0; --y) {
        const std::uint8_t* src = rgb.data() + rowBytes * static_cast<std::uint64_t>(y);
        for (int x = 0; x < width; ++x) {
            row[x * 3] = src[x * 3 + 2];
            row[x * 3 + 1] = src[x * 3 + 1];
            row[x * 3 + 2] = src[x * 3];
        }
        if (file.write(reinterpret_cast<const char*>(row.data()), static_cast<qint64>(stride)) !=
            static_cast<qint64>(stride))
            return false;
    }
    if (!file.flush())
        return false;
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                        QFileDevice::ReadOther);
    if (std::rename(QFile::encodeName(file.fileName()).constData(),
                    QFile::encodeName(path).constData()) != 0)
        return false;
    file.setAutoRemove(false); // it is the bitmap now
    return true;
}
