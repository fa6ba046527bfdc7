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
    return !QStandardPaths::findExecutable(kProgram).isEmpty();
}

bool SwayWallpaper::doShow(const WallpaperValues& values) {
    const QString program = QStandardPaths::findExecutable(kProgram);
    if (program.isEmpty())
        return false;
    return BoundedCommand::run(program, arguments(values), m_timeoutMs) == 0;
}
