#include "platform/DesktopWallpaper.h"

bool DesktopWallpaper::probe() {
    const std::lock_guard lock(m_mutex);
    return doProbe();
}

bool DesktopWallpaper::show(const WallpaperValues& values) {
    const std::lock_guard lock(m_mutex);
    return doShow(values);
}

bool DesktopWallpaper::showEach(const std::vector<ScreenWallpaper>& pictures) {
    const std::lock_guard lock(m_mutex);
    return !pictures.empty() && doShowEach(pictures);
}

std::optional<WallpaperSnapshot> DesktopWallpaper::read() {
    const std::lock_guard lock(m_mutex);
    return doRead();
}

bool DesktopWallpaper::restore(const WallpaperSnapshot& snapshot) {
    const std::lock_guard lock(m_mutex);
    return doRestore(snapshot);
}
