#pragma once

#include "platform/DesktopWallpaper.h"

#include <QDBusConnection>

// KDE Plasma through the shell's scripting call (org.kde.plasmashell /PlasmaShell
// evaluateScript): every desktop gets the image plugin with `Image` (a file URI) and
// `FillMode` (3 tiled, 6 centred, 0 stretched, 1 scaled, 2 zoomed). read() runs a script that
// prints each desktop's plugin, image and fill mode.
class PlasmaWallpaper final : public DesktopWallpaper {
public:
    explicit PlasmaWallpaper(QDBusConnection bus, int timeoutMs = 5000);

    QString name() const override { return QStringLiteral("plasma"); }

    // A text as a JavaScript string literal that carries it unchanged.
    static QString scriptString(const QString& text);

protected:
    bool doProbe() override;
    bool doShow(const WallpaperValues& values) override;
    std::optional<WallpaperSnapshot> doRead() override;
    bool doRestore(const WallpaperSnapshot& snapshot) override;

private:
    // Runs a script in the shell; what it printed, or nothing (with the reason recorded) when
    // the shell did not answer.
    std::optional<QString> evaluate(const QString& script);

    QDBusConnection m_bus;
    int m_timeoutMs;
};
