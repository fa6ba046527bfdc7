// Any text as a path (and, after a zero byte, as a shortcut's target): the picture test never
// crashes, agrees with a plain upper-case search for the picture types, and the bitmap name it
// leads to is one file name ending in ".bmp" inside the wallpaper folder.
#include "worker/PictureExtensions.h"
#include "worker/PictureTest.h"

#include <cstdlib>

namespace {

bool hasPictureType(const QString& upper) {
    for (std::size_t i = kFirstPictureExtension; i < PictureExtensions.size(); ++i)
        if (upper.contains(QString::fromLatin1(PictureExtensions[i]).toUpper()))
            return true;
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const qsizetype split = bytes.indexOf('\0');
    const QString path = QString::fromUtf8(split < 0 ? bytes : bytes.left(split));
    const QString target = split < 0 ? path : QString::fromUtf8(bytes.mid(split + 1));

    const auto match = PictureTest::test(path, [&](const QString&) { return target; });
    const bool shortcut = path.toUpper().contains(QStringLiteral(".LNK"));
    const bool expected =
        hasPictureType(path.toUpper()) || (shortcut && hasPictureType(target.toUpper()));
    if (match.has_value() != expected)
        std::abort();
    if (match) {
        if (match->upperPath != match->path.toUpper())
            std::abort();
        const QString name = PictureTest::bitmapName(match->upperPath);
        if (!name.endsWith(QStringLiteral(".bmp")) || name.contains(QLatin1Char('/')))
            std::abort();
    }
    return 0;
}
