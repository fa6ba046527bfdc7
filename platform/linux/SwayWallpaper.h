#pragma once

#include "platform/DesktopWallpaper.h"

#include <QStringList>
#include <optional>

// sway and other wlroots compositors through `swaymsg output NAME bg FILE MODE`, for every
// output ('*') or for each screen by its output name. The compositor cannot tell which
// picture it shows, so read() has nothing to record. The command is given a bounded time and
// then stopped.
//
// sway reads the picture's path through a shell-like expansion (`$(...)` runs a command) and
// splits commands at ';' and ','. A path with any character beyond letters, digits and
// "/._+-" is never handed over as it is: sway gets a link of a safe name beside the picture.
class SwayWallpaper final : public DesktopWallpaper {
public:
    explicit SwayWallpaper(int timeoutMs = 5000) : m_timeoutMs(timeoutMs) {}

    QString name() const override { return QStringLiteral("sway"); }
    bool takesEachScreen() const override { return true; }

    // The words of one `output` command for the values; `path` stands for the picture.
    static QStringList command(const QString& output, const WallpaperValues& values,
                               const QString& path);
    // Whether sway takes `text` literally as a path or an output name.
    static bool isLiteral(const QString& text);

protected:
    bool doProbe() override;
    bool doShow(const WallpaperValues& values) override;
    bool doShowEach(const std::vector<ScreenWallpaper>& pictures) override;
    std::optional<WallpaperSnapshot> doRead() override;

private:
    // `path` itself when sway takes it literally, else a link to it named after `index`;
    // nothing when no safe name can be made.
    static std::optional<QString> literalPath(const QString& path, int index);
    bool run(const QStringList& arguments);

    int m_timeoutMs;
};
