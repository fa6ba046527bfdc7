#pragma once

#include "platform/DesktopWallpaper.h"
#include "platform/linux/SwaybgProcess.h"

#include <memory>
#include <vector>

// Any Wayland compositor with the layer-shell protocol (river, labwc, Wayfire, niri and their
// kin): the program runs swaybg itself, one process for each set of pictures. A change starts
// the new swaybg and ends the old one only once the new one has drawn, so the screen never
// shows the bare background between them. Whatever the compositor showed before lies beneath
// and comes back when the program's swaybg ends: at restore, and when the program exits.
class LayerShellWallpaper final : public DesktopWallpaper {
public:
    explicit LayerShellWallpaper(QString waylandDisplay, int timeoutMs = 10000);
    ~LayerShellWallpaper() override;

    QString name() const override { return QStringLiteral("layer-shell"); }
    bool takesEachScreen() const override { return true; }

protected:
    bool doProbe() override;
    bool doShow(const WallpaperValues& values) override;
    bool doShowEach(const std::vector<ScreenWallpaper>& pictures) override;
    std::optional<WallpaperSnapshot> doRead() override;
    bool doRestore(const WallpaperSnapshot& snapshot) override;

private:
    bool replace(std::vector<SwaybgProcess::Picture> pictures);

    QString m_waylandDisplay;
    int m_timeoutMs;
    std::unique_ptr<SwaybgProcess> m_swaybg;
    std::vector<SwaybgProcess::Picture> m_pictures;
};
