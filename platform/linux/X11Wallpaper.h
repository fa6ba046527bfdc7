#pragma once

#include "platform/DesktopWallpaper.h"

#include <QByteArray>

// The plain X11 root window: the picture is drawn tiled or centred on a root-sized pixmap that
// becomes the root's background (a spanned picture, made for all screens together, from the
// root's top left corner), with _XROOTPMAP_ID and ESETROOT_PMAP_ID naming it so that
// other clients (terminals with transparency, later setters) find and free it. Each call uses
// a short-lived connection of its own, so any thread may call; the pixmap outlives the
// connection (RETAIN_PERMANENT) and is freed by the next change.
//
// The root window has no file behind it, so read() saves the background it shows to
// `OldWallpaper.bmp` in `dataDir` and reports that file as the wallpaper.
class X11Wallpaper final : public DesktopWallpaper {
public:
    X11Wallpaper(QByteArray display, QString dataDir);

    QString name() const override { return QStringLiteral("x11"); }
    QString snapshotPath() const;

protected:
    bool doProbe() override;
    bool doShow(const WallpaperValues& values) override;
    std::optional<WallpaperSnapshot> doRead() override;

private:
    QByteArray m_display;
    QString m_dataDir;
};
