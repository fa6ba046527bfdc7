#pragma once

#include "platform/DesktopWallpaper.h"

#include <QDBusConnection>
#include <QProcessEnvironment>
#include <QStringList>
#include <memory>

// Picks the wallpaper backend of the session once at start: the desktops the session names,
// in order, then sway when its socket is set, then the plain X11 root when there is a display.
// Each is probed and the first that works is taken; with none, nothing is ever shown.
class DesktopWallpaperChooser {
public:
    DesktopWallpaperChooser(QProcessEnvironment environment, QString dataDir, QDBusConnection bus);

    // The backend names to try, most specific first ("gnome", "cinnamon", "mate", "xfce",
    // "plasma", "sway", "x11").
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
