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
    return !QStandardPaths::findExecutable(kProgram).isEmpty() ||
           fail(QStringLiteral("%1 is not on PATH").arg(kProgram));
}

bool SwayWallpaper::run(const QStringList& arguments) {
    const QString program = QStandardPaths::findExecutable(kProgram);
    if (program.isEmpty())
        return fail(QStringLiteral("%1 is not on PATH").arg(kProgram));
    const int status = BoundedCommand::run(program, arguments, m_timeoutMs);
    if (status == 0)
        return true;
    return fail(status < 0 ? QStringLiteral("%1 did not start, was killed or ran past %2 ms")
                                 .arg(kProgram)
                                 .arg(m_timeoutMs)
                           : QStringLiteral("%1 ended with status %2").arg(kProgram).arg(status));
}

std::optional<WallpaperSnapshot> SwayWallpaper::doRead() {
    fail(QStringLiteral("the compositor cannot tell which picture it shows; nothing is recorded "
                        "to put back at exit"));
    return std::nullopt;
}

bool SwayWallpaper::doShow(const WallpaperValues& values) {
    std::optional<QString> path = values.wallpaper;
    if (WallpaperOptions::placementOf(values) != Placement::None)
        path = literalPath(values.wallpaper, 0);
    if (!path)
        return fail(QStringLiteral("no name sway takes literally could be made for %1")
                        .arg(values.wallpaper));
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
