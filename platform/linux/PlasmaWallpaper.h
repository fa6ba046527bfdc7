#pragma once

#include "platform/DesktopWallpaper.h"

#include <QDBusConnection>

// KDE Plasma through the shell's scripting call (org.kde.plasmashell /PlasmaShell
// evaluateScript): every desktop gets the image plugin with `Image` (a file URI) and
// `FillMode` (3 tiled, 6 centred, 0 stretched, 1 scaled, 2 zoomed); each screen's desktops can
// have a picture of their own. read() runs a script that prints each desktop's plugin, image
// and fill mode.
class PlasmaWallpaper final : public DesktopWallpaper {
public:
    explicit PlasmaWallpaper(QDBusConnection bus, int timeoutMs = 5000);

    QString name() const override { return QStringLiteral("plasma"); }
    bool takesEachScreen() const override { return true; }

    // A text as a JavaScript string literal that carries it unchanged.
    static QString scriptString(const QString& text);
    // The script that shows the pictures, the first on the leftmost screen and so on; a single
    // picture is shown on every screen.
    static QString showScript(const std::vector<WallpaperValues>& pictures);

protected:
    bool doProbe() override;
    bool doShow(const WallpaperValues& values) override;
    bool doShowEach(const std::vector<ScreenWallpaper>& pictures) override;
    std::optional<WallpaperSnapshot> doRead() override;
    bool doRestore(const WallpaperSnapshot& snapshot) override;

private:
    // Runs a script in the shell; what it printed, or nothing (with the reason recorded) when
    // the shell did not answer.
    std::optional<QString> evaluate(const QString& script);

    QDBusConnection m_bus;
    int m_timeoutMs;
};
