#pragma once

#include "platform/DesktopWallpaper.h"

#include <QStringList>

struct _GSettingsBackend;
struct _GSettings;

// The desktops that keep their background in GSettings, through the GIO C API:
// GNOME (Unity and Budgie too) in org.gnome.desktop.background (`picture-uri` and
// `picture-uri-dark` as file URIs), Cinnamon in org.cinnamon.desktop.background
// (`picture-uri`), MATE in org.mate.background (`picture-filename`, a plain path); each with
// `picture-options`. The schema is looked up before use: opening a missing one aborts.
//
// Each change is written as one change (options and pictures together), so the desktop never
// sees half of it. read() records every key with whether the user had set it, so that restore
// resets a key that was never set instead of writing its default. Safe on any thread: each
// call opens its own settings object and waits until the writes are handed to the settings
// store.
class GSettingsWallpaper final : public DesktopWallpaper {
public:
    enum class Flavour { Gnome, Cinnamon, Mate };

    // `backend` is the settings store to use (the session's own when null).
    explicit GSettingsWallpaper(Flavour flavour, _GSettingsBackend* backend = nullptr);
    ~GSettingsWallpaper() override;
    GSettingsWallpaper(const GSettingsWallpaper&) = delete;
    GSettingsWallpaper& operator=(const GSettingsWallpaper&) = delete;

    QString name() const override;

protected:
    bool doProbe() override;
    bool doShow(const WallpaperValues& values) override;
    std::optional<WallpaperSnapshot> doRead() override;
    bool doRestore(const WallpaperSnapshot& snapshot) override;

private:
    // The settings object, or null (with the reason recorded) when the schema is missing.
    _GSettings* open();
    // Shows the values; with `reloadSameName`, a picture name already shown is shown under a
    // second name so that the desktop loads the file's new content.
    bool showValues(const WallpaperValues& values, bool reloadSameName);
    // Another name for the file at `path`, or `path` itself when none can be made.
    static QString secondName(const QString& path);
    // Applies the delayed writes as one change, or drops them all when `ok` is false.
    static bool finish(_GSettings* settings, bool ok);
    // The keys that hold the picture (the first is the one read back).
    QStringList pictureKeys(_GSettings* settings) const;
    // A picture path in the form the keys keep it (a URI, or a path for MATE).
    QString pictureValue(const QString& path) const;

    Flavour m_flavour;
    _GSettingsBackend* m_backend = nullptr;
};
