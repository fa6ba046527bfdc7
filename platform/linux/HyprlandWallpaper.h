#pragma once

#include "platform/DesktopWallpaper.h"

#include <QStringList>

// Hyprland through its wallpaper service hyprpaper, driven by `hyprctl hyprpaper`: each change
// preloads the new picture, sets it on every monitor (or each monitor its own), then unloads
// the one it replaces, so that hyprpaper's memory does not grow.
//
// hyprpaper reads PNG but no BMP, and keeps a picture by its path: each bitmap is handed over
// as a PNG copy of a name never used before (`.hyprpaper-<pid>-<n>.png` beside it). It has no
// centred mode: the program's centred pictures are shown contained (whole, scaled to fit:
// pixel for pixel for one made to the monitor's size), tiled ones tiled. read() records each
// monitor's picture as hyprpaper lists it.
class HyprlandWallpaper final : public DesktopWallpaper {
public:
    explicit HyprlandWallpaper(int timeoutMs = 5000) : m_timeoutMs(timeoutMs) {}

    QString name() const override { return QStringLiteral("hyprland"); }
    bool takesEachScreen() const override { return true; }

protected:
    bool doProbe() override;
    bool doShow(const WallpaperValues& values) override;
    bool doShowEach(const std::vector<ScreenWallpaper>& pictures) override;
    std::optional<WallpaperSnapshot> doRead() override;
    bool doRestore(const WallpaperSnapshot& snapshot) override;

private:
    struct Target {
        QString monitor; // empty for every monitor
        QString path;
        QString prefix; // "contain:", "tile:" or nothing
    };
    // Preloads and sets each target, then unloads what the program loaded before.
    bool change(const std::vector<Target>& targets);
    // The PNG copy of the bitmap hyprpaper is given, or an empty text (and a failure).
    QString pngCopy(const QString& bitmap);
    static QString prefixOf(const WallpaperValues& values);
    // Runs `hyprctl hyprpaper <words>`; its answer, or nothing when hyprctl failed.
    std::optional<QString> hyprpaper(const QStringList& words);
    bool request(const QStringList& words);

    int m_timeoutMs;
    int m_copies = 0;
    QStringList m_loaded;   // the program's pictures hyprpaper holds
    QStringList m_monitors; // monitors given a picture of their own
};
