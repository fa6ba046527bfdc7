#include "worker/PictureTest.h"

#include "worker/PictureExtensions.h"

#include <array>

namespace {

// The table in upper case, made once: the test runs for every file of a folder walk.
const std::array<QString, PictureExtensions.size()>& upperExtensions() {
    static const std::array<QString, PictureExtensions.size()> table = [] {
        std::array<QString, PictureExtensions.size()> upper;
        for (std::size_t i = 0; i < PictureExtensions.size(); ++i)
            upper[i] = QString::fromLatin1(PictureExtensions[i]).toUpper();
        return upper;
    }();
    return table;
}

bool containsType(const QString& upper, std::size_t index) {
    return upper.contains(upperExtensions()[index]);
}

} // namespace

std::optional<PictureMatch> PictureTest::test(const QString& path, const Resolver& resolve) {
    const QString upper = path.toUpper();
    if (containsType(upper, kShortcutExtension)) {
        const QString target = resolve ? resolve(path) : path;
        const QString upperTarget = target.toUpper();
        for (std::size_t j = kFirstPictureExtension; j < PictureExtensions.size(); ++j)
            if (containsType(upperTarget, j))
                return PictureMatch{target, upperTarget, true};
    }
    for (std::size_t i = kFirstPictureExtension; i < PictureExtensions.size(); ++i)
        if (containsType(upper, i))
            return PictureMatch{path, upper, false};
    return std::nullopt;
}

QString PictureTest::bitmapName(const QString& upperPath) {
    QString name = lastComponent(upperPath, QLatin1Char('/'));
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0)
        name.truncate(dot);
    return name + QStringLiteral(".bmp");
}

QString PictureTest::lastComponent(const QString& text, QChar separator) {
    return text.mid(text.lastIndexOf(separator) + 1);
}
