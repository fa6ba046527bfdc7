#pragma once

#include "platform/DesktopWallpaper.h"

// The Windows desktop: the three values under HKCU\Control Panel\Desktop and the system's
// wallpaper call (SystemParametersInfoW, SPI_SETDESKWALLPAPER), which tells running programs
// of the change. "WallpaperStyle" and "TileWallpaper" are written as text (REG_SZ), which is
// what the desktop reads: a number stored as a DWORD there is not taken. Values of either type
// are read.
//
// A picture per screen goes through IDesktopWallpaper where the system has it (Windows 8 on);
// elsewhere the program spans one picture over all screens ("WallpaperStyle" 22).
//
// Any thread may call; each call enters the component library itself. Nothing here waits on
// another program but the system's own notice of the change to running programs.
class WindowsDesktopWallpaper final : public DesktopWallpaper {
public:
    WindowsDesktopWallpaper();

    QString name() const override { return QStringLiteral("windows"); }
    bool takesEachScreen() const override { return m_eachScreen; }

    // The wallpaper the system reports (SPI_GETDESKWALLPAPER), '/'-separated; nothing when
    // the call fails.
    static std::optional<QString> systemWallpaper();

protected:
    bool doProbe() override;
    bool doShow(const WallpaperValues& values) override;
    bool doShowEach(const std::vector<ScreenWallpaper>& pictures) override;
    std::optional<WallpaperSnapshot> doRead() override;
    bool doRestore(const WallpaperSnapshot& snapshot) override;

private:
    // Writes the three values, each with its registry type (REG_NONE: removed).
    bool writeValues(const WallpaperValues& values, const unsigned long types[3]);
    bool setSystemWallpaper(const QString& path);

    bool m_eachScreen = false;
};
