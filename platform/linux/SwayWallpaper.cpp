#include "platform/linux/SwayWallpaper.h"

#include "platform/LogCategories.h"
#include "platform/linux/BoundedCommand.h"
#include "platform/linux/WallpaperOptions.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

const QString kProgram = QStringLiteral("swaymsg");

QString modeOf(Placement placement) {
    switch (placement) {
    case Placement::Tiled:
        return QStringLiteral("tile");
    case Placement::Stretched:
        return QStringLiteral("stretch");
    case Placement::Scaled:
        return QStringLiteral("fit");
    case Placement::Zoomed:
        return QStringLiteral("fill");
    default:
        return QStringLiteral("center");
    }
}

} // namespace

bool SwayWallpaper::isLiteral(const QString& text) {
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        const bool plain = (c.unicode() < 0x80 && c.isLetterOrNumber()) || c == u'/' || c == u'.' ||
                           c == u'_' || c == u'+' || c == u'-';
        // Letters beyond ASCII mean nothing to the expansion.
        if (!plain && !(c.unicode() >= 0x80 && c.isLetterOrNumber()))
            return false;
    }
    return true;
}

QStringList SwayWallpaper::command(const QString& output, const WallpaperValues& values,
                                   const QString& path) {
    const QStringList target = {QStringLiteral("output"), output, QStringLiteral("bg")};
    const Placement placement = WallpaperOptions::placementOf(values);
    if (placement == Placement::None)
        return target + QStringList{QStringLiteral("#000000"), QStringLiteral("solid_color")};
    return target + QStringList{path, modeOf(placement)};
}

std::optional<QString> SwayWallpaper::literalPath(const QString& path, int index) {
    if (isLiteral(path))
        return path;
    const QFileInfo picture(path);
    const QString link = picture.absolutePath() + QStringLiteral("/.sway-%1.bmp").arg(index);
    if (isLiteral(link)) {
        QFile::remove(link);
        if (QFile::link(picture.absoluteFilePath(), link))
            return link;
    }
    qCWarning(lcPlatform).noquote()
        << QStringLiteral("The wallpaper %1 cannot be given to sway: sway would read parts of "
                          "its path as commands, and no link of a safe name could be made")
               .arg(path);
    return std::nullopt;
}

bool SwayWallpaper::doProbe() {
    return !QStandardPaths::findExecutable(kProgram).isEmpty();
}

bool SwayWallpaper::run(const QStringList& arguments) const {
    const QString program = QStandardPaths::findExecutable(kProgram);
    if (program.isEmpty())
        return false;
    return BoundedCommand::run(program, arguments, m_timeoutMs) == 0;
}

bool SwayWallpaper::doShow(const WallpaperValues& values) {
    std::optional<QString> path = values.wallpaper;
    if (WallpaperOptions::placementOf(values) != Placement::None)
        path = literalPath(values.wallpaper, 0);
    if (!path)
        return false;
    return run(command(QStringLiteral("*"), values, *path));
}

bool SwayWallpaper::doShowEach(const std::vector<ScreenWallpaper>& pictures) {
    // One command list, so that every output changes at once.
    QStringList arguments;
    int index = 0;
    for (const ScreenWallpaper& picture : pictures) {
        ++index;
        const std::optional<QString> path = literalPath(picture.values.wallpaper, index);
        if (!path || !isLiteral(picture.screen.name)) {
            qCWarning(lcPlatform).noquote()
                << QStringLiteral("No wallpaper for the output \"%1\"").arg(picture.screen.name);
            continue;
        }
        if (!arguments.isEmpty())
            arguments << QStringLiteral(";");
        arguments << command(picture.screen.name, picture.values, *path);
    }
    return !arguments.isEmpty() && run(arguments);
}
