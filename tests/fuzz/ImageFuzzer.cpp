// Any bytes as a picture: our own readers never crash, never read outside the input and
// never describe more pixels than they allocated; the whole conversion (libvips included)
// gives a valid bitmap or no result and no file. Run with tests/fuzz/dict/image.dict.
#include "platform/BmpReader.h"
#include "platform/PcxReader.h"
#include "platform/TgaReader.h"
#include "platform/VipsImageLibrary.h"
#include "tests/fuzz/ReaderCheck.h"
#include "wallpaper/PictureConverter.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    checkReader(&BmpReader::read, bytes);
    checkReader(&PcxReader::read, bytes);
    checkReader(&TgaReader::read, bytes);

    static QTemporaryDir dir;
    static VipsImageLibrary library;
    static const PictureConverter converter(library);
    const QString in = dir.filePath(QStringLiteral("in.pic"));
    const QString out = dir.filePath(QStringLiteral("OUT.BMP"));
    QFile file(in);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) !=
            static_cast<qint64>(size))
        return 0;
    file.close();
    ScreenMetrics screen;
    screen.screen = QSize(320, 200);
    screen.workArea = QRect(0, 0, 320, 180);
    // Every layout, so that pictures larger than the screen are also cut to it.
    const bool written = converter.ConvertPicture(in, out, static_cast<int>(size % 4), screen);
    if (written != QFile::exists(out))
        std::abort();
    if (written) {
        QFile bitmap(out);
        if (!bitmap.open(QIODevice::ReadOnly))
            std::abort();
        const QByteArray header = bitmap.read(54);
        if (header.size() != 54 || !header.startsWith("BM") || header[28] != 24 || header[14] != 40)
            std::abort();
        bitmap.close();
        QFile::remove(out);
    }
    return 0;
}
