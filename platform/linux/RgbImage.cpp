#include "platform/linux/RgbImage.h"

#include "bitmap/BitmapWriter.h"
#include "platform/FileName.h"

#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Larger than any screen: a file claiming more is not one of ours.
constexpr std::int64_t kMaxPixels = std::int64_t{1} << 28;

std::uint32_t le32(const QByteArray& bytes, int at) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | static_cast<std::uint8_t>(bytes[at + i]);
    return value;
}

} // namespace

std::optional<RgbImage> RgbImage::load(const QString& path) {
    const int file = ::open(FileName::toNative(path).constData(), O_RDONLY | O_CLOEXEC);
    if (file < 0)
        return std::nullopt;
    QByteArray bytes;
    struct stat info {};
    if (::fstat(file, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= kMaxPixels * 4) {
        bytes.resize(static_cast<qsizetype>(info.st_size));
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::read(file, bytes.data() + done, bytes.size() - done);
            if (n <= 0)
                break;
            done += n;
        }
        bytes.truncate(done);
    }
    ::close(file);
    if (bytes.size() < 54 || !bytes.startsWith("BM") || le32(bytes, 14) < 40 ||
        (le32(bytes, 26) & 0xFFFF) != 1 || (le32(bytes, 28) & 0xFFFF) != 24 || le32(bytes, 30) != 0)
        return std::nullopt;
    const std::int64_t offset = le32(bytes, 10);
    const std::int64_t width = static_cast<std::int32_t>(le32(bytes, 18));
    const std::int64_t signedHeight = static_cast<std::int32_t>(le32(bytes, 22));
    const std::int64_t height = std::abs(signedHeight); // negative: top row first
    if (width <= 0 || height <= 0 || width * height > kMaxPixels)
        return std::nullopt;
    const std::int64_t stride = (width * 3 + 3) & ~std::int64_t{3};
    if (offset < 54 || offset + stride * height > bytes.size())
        return std::nullopt;

    RgbImage image;
    image.width = static_cast<int>(width);
    image.height = static_cast<int>(height);
    image.pixels.resize(static_cast<std::size_t>(width * height * 3));
    for (int y = 0; y < image.height; ++y) {
        const int stored = signedHeight < 0 ? y : image.height - 1 - y;
        const auto* row =
            reinterpret_cast<const std::uint8_t*>(bytes.constData() + offset + stride * stored);
        std::uint8_t* out = image.at(0, y);
        for (int x = 0; x < image.width; ++x) {
            out[x * 3] = row[x * 3 + 2];
            out[x * 3 + 1] = row[x * 3 + 1];
            out[x * 3 + 2] = row[x * 3];
        }
    }
    return image;
}

bool RgbImage::save(const QString& path) const {
    const QByteArray name = FileName::toNative(path);
    const int file = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (file < 0)
        return false;
    const bool written = BitmapWriter::write(file, width, height, pixels);
    if (::close(file) != 0 || !written) {
        ::unlink(name.constData());
        return false;
    }
    return true;
}
