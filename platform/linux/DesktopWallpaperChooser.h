#pragma once

#include "platform/DesktopWallpaper.h"

#include <QDBusConnection>
#include <QProcessEnvironment>
#include <QStringList>
#include <memory>

// Picks the wallpaper backend of the session once at start, from one table (in the .cpp):
// first the backends of the desktops the session names, in the session's order; then those
// whose compositor announces itself in the environment (SWAYSOCK, ...), in the table's order;
// then a swaybg of the program's own on any other Wayland compositor, and the plain X11 root
// where there is a display. Each is probed and the first that works is taken; with none,
// nothing is ever shown.
class DesktopWallpaperChooser {
public:
    DesktopWallpaperChooser(QProcessEnvironment environment, QString dataDir, QDBusConnection bus);

    // The backend names to try, most specific first ("gnome", "cinnamon", "mate", "xfce",
    // "plasma", "sway", "hyprland", "layer-shell", "x11").
    QStringList candidates() const;
    // A backend by name, not yet probed; null for an unknown name.
    std::unique_ptr<DesktopWallpaper> create(const QString& name) const;
    // The first candidate whose probe succeeds, or one that does nothing.
    std::unique_ptr<DesktopWallpaper> choose() const;

private:
    QProcessEnvironment m_environment;
    QString m_dataDir;
    QDBusConnection m_bus;
};
