#include "app/Favourites.h"

#include "resources/AppTexts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <filesystem>
#include <system_error>

namespace {

std::filesystem::path fsPath(const QString& path) {
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

bool sameContent(const QString& a, const QString& b) {
    QFile first(a), second(b);
    if (first.size() != second.size() || !first.open(QIODevice::ReadOnly) ||
        !second.open(QIODevice::ReadOnly))
        return false;
    while (!first.atEnd())
        if (first.read(1 << 16) != second.read(1 << 16))
            return false;
    return true;
}

// "name", then "name (2).ext", "name (3).ext", ...
QString numbered(const QString& name, int number) {
    if (number < 2)
        return name;
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const qsizetype stemEnd = dot > 0 ? dot : name.size();
    return name.left(stemEnd) + QStringLiteral(" (%1)").arg(number) + name.mid(stemEnd);
}

} // namespace

QString Favourites::defaultFolder() {
    QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (pictures.isEmpty())
        pictures = QDir::homePath();
    return pictures + QLatin1Char('/') + QString::fromLatin1(AppTexts::kFavouritesFolderName);
}

QString Favourites::folderFor(const QString& setting) {
    return setting.isEmpty() ? defaultFolder() : setting;
}

Favourites::Added Favourites::add(const QString& file, const QString& name, const QString& folder) {
    if (!QDir().mkpath(folder))
        return {{}, false, QStringLiteral("the folder %1 cannot be made").arg(folder)};
    const QFileInfo picture(file);
    for (const QFileInfo& present : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden))
        if (present.size() == picture.size() && sameContent(file, present.absoluteFilePath()))
            return {present.absoluteFilePath(), true, {}};
    QString error;
    // A name that another program takes meanwhile is passed over like one taken before.
    for (int number = 1; number < 10000; ++number) {
        const QString target = folder + QLatin1Char('/') + numbered(name, number);
        if (QFileInfo::exists(target) || QFileInfo(target).isSymLink())
            continue;
        std::error_code linkError;
        std::filesystem::create_hard_link(fsPath(file), fsPath(target), linkError);
        if (!linkError)
            return {target, false, {}};
        QFile source(file);
        if (source.copy(target))
            return {target, false, {}};
        error = source.errorString();
        if (!QFileInfo::exists(target))
            break;
    }
    return {{}, false, error};
}
