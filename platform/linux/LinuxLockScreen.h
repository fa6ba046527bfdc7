#pragma once

#include "platform/LockScreenPicture.h"

#include <QJsonObject>
#include <QString>

struct _GSettingsBackend;

// The lock screen on Linux desktops. On every desktop the change's bitmaps are kept as stable
// files that a screen locker can be pointed at (swaylock -i, hyprlock, ...):
// `<stateDir>/current-<screen>.bmp` for each screen and `<stateDir>/current.bmp` for the first.
// Each is a link to (or a copy of) the bitmap, replaced whole at each change, so that it stays
// readable while the wallpaper folder is emptied and after the program has ended. Besides:
// - GNOME: org.gnome.desktop.screensaver `picture-uri` and `picture-options` follow the
//   desktop's picture (org.gnome.desktop.background) after each change;
// - Plasma: the screen locker's wallpaper (kscreenlockerrc, the image plugin) is current.bmp.
// read() and restore() concern those two desktops' settings; the files stay at restore.
class LinuxLockScreen final : public LockScreenPicture {
public:
    enum class Desktop { Other, Gnome, Plasma };

    // `configDir` holds the desktop's configuration files (kscreenlockerrc); `backend` is the
    // GSettings store (the session's own when null).
    LinuxLockScreen(Desktop desktop, QString stateDir, QString configDir,
                    _GSettingsBackend* backend = nullptr);
    ~LinuxLockScreen() override;
    LinuxLockScreen(const LinuxLockScreen&) = delete;
    LinuxLockScreen& operator=(const LinuxLockScreen&) = delete;

    // The desktop whose lock screen follows the wallpaper backend `name` ("gnome", "plasma").
    static Desktop desktopOf(const QString& wallpaperBackend);

    std::optional<QString> read() override;
    void show(const std::vector<ScreenBitmap>& screens) override;
    bool restore(const QString& record) override;

    QString stateDir() const { return m_stateDir; }

private:
    void placeFiles(const std::vector<ScreenBitmap>& screens) const;
    QString lockerConfig() const;
    // The screen locker's plugin and image as kscreenlockerrc has them (absent ones left out),
    // and the file with them set so (removed where absent).
    QJsonObject plasmaRecord() const;
    bool writePlasma(const QJsonObject& record) const;

    Desktop m_desktop;
    QString m_stateDir;
    QString m_configDir;
    _GSettingsBackend* m_backend = nullptr;
};
