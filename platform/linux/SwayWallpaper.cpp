#include "platform/linux/SwayWallpaper.h"

#include "platform/linux/BoundedCommand.h"
#include "platform/linux/WallpaperOptions.h"

#include <QStandardPaths>

namespace {

const QString kProgram = QStringLiteral("swaymsg");

} // namespace

QStringList SwayWallpaper::arguments(const WallpaperValues& values) {
    const QStringList target = {QStringLiteral("output"), QStringLiteral("*"),
                                QStringLiteral("bg")};
    switch (WallpaperOptions::placementOf(values)) {
    case Placement::None:
        return target + QStringList{QStringLiteral("#000000"), QStringLiteral("solid_color")};
    case Placement::Tiled:
        return target + QStringList{values.wallpaper, QStringLiteral("tile")};
    case Placement::Stretched:
        return target + QStringList{values.wallpaper, QStringLiteral("stretch")};
    case Placement::Scaled:
        return target + QStringList{values.wallpaper, QStringLiteral("fit")};
    case Placement::Zoomed:
        return target + QStringList{values.wallpaper, QStringLiteral("fill")};
    default:
        return target + QStringList{values.wallpaper, QStringLiteral("center")};
    }
}

bool SwayWallpaper::doProbe() {
    return !QStandardPaths::findExecutable(kProgram).isEmpty() ||
           fail(QStringLiteral("%1 is not on PATH").arg(kProgram));
}

bool SwayWallpaper::doShow(const WallpaperValues& values) {
    const QString program = QStandardPaths::findExecutable(kProgram);
    if (program.isEmpty())
        return fail(QStringLiteral("%1 is not on PATH").arg(kProgram));
    const int status = BoundedCommand::run(program, arguments(values), m_timeoutMs);
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
