#include "wallpaper/PreviousWallpaper.h"

#include "platform/DesktopWallpaper.h"
#include "platform/Profile.h"

namespace {

QString key(const char* name) {
    return QString::fromLatin1(name);
}

} // namespace

void PreviousWallpaper::StoreOldWallpaper() {
    const QString section = key(kSection);
    if (m_profile.readInt(section, key(kNeedStore)).value_or(-1) == 0)
        return;
    const std::optional<WallpaperSnapshot> snapshot = m_desktop.read();
    if (!snapshot)
        return;
    m_profile.writeString(section, key(kWallpaper), snapshot->values.wallpaper);
    m_profile.writeInt(section, key(kWallpaperStyle), snapshot->values.wallpaperStyle);
    m_profile.writeString(section, key(kTileWallpaper), snapshot->values.tileWallpaper);
    if (snapshot->detail.isEmpty())
        m_profile.remove(section, key(kDesktopRecord));
    else
        m_profile.writeString(section, key(kDesktopRecord), snapshot->detail);
    // Last, so that a record cut short is never taken for a complete one.
    m_profile.writeInt(section, key(kNeedStore), 0);
    m_profile.flush();
}

void PreviousWallpaper::RestoreOldWallpaper() {
    const QString section = key(kSection);
    if (m_profile.readInt(section, key(kNeedStore)).value_or(-1) != 0)
        return;
    WallpaperSnapshot snapshot;
    snapshot.values.wallpaper = m_profile.readString(section, key(kWallpaper)).value_or(QString());
    const std::int64_t style = m_profile.readInt(section, key(kWallpaperStyle)).value_or(0);
    snapshot.values.wallpaperStyle = static_cast<std::int32_t>(style);
    snapshot.values.tileWallpaper =
        m_profile.readString(section, key(kTileWallpaper)).value_or(QStringLiteral("0"));
    snapshot.detail = m_profile.readString(section, key(kDesktopRecord)).value_or(QString());
    if (!m_desktop.restore(snapshot))
        return;
    m_profile.writeInt(section, key(kNeedStore), 1);
    m_profile.flush();
}
