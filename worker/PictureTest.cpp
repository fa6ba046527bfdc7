#include "worker/PictureTest.h"

#include "platform/FileName.h"
#include "worker/PictureExtensions.h"

#include <array>

namespace {

template <std::size_t N> std::array<QString, N> upperCase(const std::array<const char*, N>& table) {
    std::array<QString, N> upper;
    for (std::size_t i = 0; i < N; ++i)
        upper[i] = QString::fromLatin1(table[i]).toUpper();
    return upper;
}

// The tables in upper case, made once: the test runs for every file of a folder walk.
const std::array<QString, PictureExtensions.size()>& upperExtensions() {
    static const auto table = upperCase(PictureExtensions);
    return table;
}

const std::array<QString, MorePictureExtensions.size()>& upperMoreExtensions() {
    static const auto table = upperCase(MorePictureExtensions);
    return table;
}

bool containsType(const QString& upper, std::size_t index) {
    return upper.contains(upperExtensions()[index]);
}

// Whether the upper-case path holds a picture type: the table's, and the others when
// `allTypes` is on.
bool containsPictureType(const QString& upper, bool allTypes) {
    for (std::size_t i = kFirstPictureExtension; i < PictureExtensions.size(); ++i)
        if (containsType(upper, i))
            return true;
    if (allTypes)
        for (const QString& type : upperMoreExtensions())
            if (upper.contains(type))
                return true;
    return false;
}

} // namespace

std::optional<PictureMatch> PictureTest::test(const QString& path, const Resolver& resolve,
                                              bool allTypes) {
    const QString upper = path.toUpper();
    if (containsType(upper, kShortcutExtension)) {
        const QString target = resolve ? resolve(path) : path;
        const QString upperTarget = target.toUpper();
        if (containsPictureType(upperTarget, allTypes))
            return PictureMatch{target, upperTarget, true};
    }
    if (containsPictureType(upper, allTypes))
        return PictureMatch{path, upper, false};
    return std::nullopt;
}

PictureTest::Folder PictureTest::folder(const QString& folderPath) {
    Folder folder;
    folder.upper = folderPath.toUpper();
    folder.shortcut = containsType(folder.upper, kShortcutExtension);
    folder.picture = containsPictureType(folder.upper, false);
    folder.anyPicture = containsPictureType(folder.upper, true);
    return folder;
}

std::optional<PictureMatch> PictureTest::test(const Folder& folder, const QString& path,
                                              const QString& name, const Resolver& resolve,
                                              bool allTypes) {
    const QString upperName = name.toUpper();
    if (folder.shortcut || containsType(upperName, kShortcutExtension)) {
        const QString target = resolve ? resolve(path) : path;
        const QString upperTarget = target.toUpper();
        if (containsPictureType(upperTarget, allTypes))
            return PictureMatch{target, upperTarget, true};
    }
    if ((allTypes ? folder.anyPicture : folder.picture) ||
        containsPictureType(upperName, allTypes)) {
        const QString separator =
            folder.upper.endsWith(QLatin1Char('/')) ? QString() : QStringLiteral("/");
        return PictureMatch{path, folder.upper + separator + upperName, false};
    }
    return std::nullopt;
}

QString PictureTest::bitmapName(const QString& upperPath) {
    // The bitmap is a file of the program's own: bytes of the picture's name that are not
    // UTF-8 (upper-casing has made them replacement characters) become "_", so that every
    // desktop can take its name.
    QString name = FileName::withRawBytesAs(lastComponent(upperPath, QLatin1Char('/')), u'_');
    name.replace(QChar(QChar::ReplacementCharacter), u'_');
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0)
        name.truncate(dot);
    return name + QStringLiteral(".bmp");
}

QString PictureTest::lastComponent(const QString& text, QChar separator) {
    return text.mid(text.lastIndexOf(separator) + 1);
}

QString PictureTest::remoteBitmapName(const QString& remoteName) {
    const qsizetype dot = remoteName.lastIndexOf(QLatin1Char('.'));
    return (dot >= 0 ? remoteName.left(dot) : QString()) + QStringLiteral(".bmp");
}
