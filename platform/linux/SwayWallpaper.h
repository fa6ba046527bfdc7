#pragma once

#include "platform/DesktopWallpaper.h"
#include "platform/linux/SwaybgProcess.h"

#include <QStringList>
#include <memory>
#include <optional>

// sway and other wlroots compositors through `swaymsg output NAME bg FILE MODE`, for every
// output ('*') or for each screen by its output name. The command is given a bounded time and
// then stopped.
//
// sway 1.7 ends its swaybg before it starts the next one, which leaves the bare grey
// background on screen in between. So each change first puts the new pictures up in a swaybg
// of the program's own and waits until it has drawn; that one covers the gap, and stays until
// the next change or the end, when sway's own swaybg has long shown the same pictures.
//
// What sway can tell of the user's own background is its configuration: read() records each
// output's `bg` from it (variables, quotes and '~' as sway reads them), and restore() gives
// those back. A background set later by other means, or in an included file, cannot be seen.
//
// sway reads the picture's path through a shell-like expansion (`$(...)` runs a command) and
// splits commands at ';' and ','. A path with any character beyond letters, digits and
// "/._+-" is never handed over as it is: sway gets a link of a safe name to the picture.
class SwayWallpaper final : public DesktopWallpaper {
public:
    // Links for the user's own pictures put back go into `dataDir`.
    explicit SwayWallpaper(QString dataDir = {}, int timeoutMs = 5000);
    ~SwayWallpaper() override;

    QString name() const override { return QStringLiteral("sway"); }
    bool takesEachScreen() const override { return true; }

    // The words of one `output` command for the values; `path` stands for the picture.
    static QStringList command(const QString& output, const WallpaperValues& values,
                               const QString& path);
    // Whether sway takes `text` literally as a path or an output name.
    static bool isLiteral(const QString& text);

    // One output's background as sway's configuration sets it.
    struct Background {
        QString output; // a name, an identifier or "*"
        QString file;   // empty for a plain colour
        QString mode;   // fill, fit, stretch, center, tile or solid_color
        QString colour; // "#rrggbb", or empty
    };
    // The backgrounds that a sway configuration text sets, in order; `home` stands for '~'.
    static std::vector<Background> backgroundsOf(const QString& config, const QString& home);

protected:
    bool doProbe() override;
    bool doShow(const WallpaperValues& values) override;
    bool doShowEach(const std::vector<ScreenWallpaper>& pictures) override;
    std::optional<WallpaperSnapshot> doRead() override;
    bool doRestore(const WallpaperSnapshot& snapshot) override;

private:
    // `path` itself when sway takes it literally, else a link to it named `.sway-<index>` in
    // `folder` (the picture's own when empty); nothing when no safe name can be made.
    static std::optional<QString> literalPath(const QString& path, const QString& index,
                                              const QString& folder = {});
    // Puts the pictures up in a swaybg of the program's own and runs the sway commands; the
    // swaybg that covered the previous change goes once sway has taken them.
    bool change(const std::vector<SwaybgProcess::Picture>& cover, const QStringList& arguments);
    bool run(const QStringList& arguments, QByteArray* output = nullptr);

    QString m_dataDir;
    int m_timeoutMs;
    std::unique_ptr<SwaybgProcess> m_cover;
    bool m_coverWarned = false;
};
