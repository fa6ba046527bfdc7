#include "platform/DesktopWallpaper.h"

#include "platform/LogCategories.h"

bool DesktopWallpaper::probe(QString* whyNot) {
    const std::lock_guard lock(m_mutex);
    const bool reachable = doProbe();
    const QString reason = takeFailure();
    if (!reachable && whyNot)
        *whyNot = reason;
    return reachable;
}

bool DesktopWallpaper::show(const WallpaperValues& values) {
    const std::lock_guard lock(m_mutex);
    const bool shown = doShow(values);
    const QString reason = takeFailure();
    if (!shown)
        qCWarning(lcWallpaper).noquote() << QStringLiteral("%1: could not show \"%2\": %3")
                                                .arg(name(), values.wallpaper, reason);
    return shown;
}

bool DesktopWallpaper::showEach(const std::vector<ScreenWallpaper>& pictures) {
    const std::lock_guard lock(m_mutex);
    return !pictures.empty() && doShowEach(pictures);
}

std::optional<WallpaperSnapshot> DesktopWallpaper::read() {
    const std::lock_guard lock(m_mutex);
    std::optional<WallpaperSnapshot> snapshot = doRead();
    const QString reason = takeFailure();
    if (!snapshot)
        qCWarning(lcWallpaper).noquote()
            << QStringLiteral("%1: could not read the current wallpaper: %2").arg(name(), reason);
    return snapshot;
}

bool DesktopWallpaper::restore(const WallpaperSnapshot& snapshot) {
    const std::lock_guard lock(m_mutex);
    const bool restored = doRestore(snapshot);
    const QString reason = takeFailure();
    if (!restored)
        qCWarning(lcWallpaper).noquote()
            << QStringLiteral("%1: could not put back the wallpaper \"%2\": %3")
                   .arg(name(), snapshot.values.wallpaper, reason);
    return restored;
}

bool DesktopWallpaper::fail(const QString& reason) {
    if (m_failure.isEmpty())
        m_failure = reason;
    return false;
}

QString DesktopWallpaper::takeFailure() {
    QString reason =
        m_failure.isEmpty() ? QStringLiteral("the desktop refused the change") : m_failure;
    m_failure.clear();
    return reason;
}
