#pragma once

#include "platform/ScreenInfo.h"

#include <QString>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

// The desktop's wallpaper in the program's own vocabulary: the three values "Wallpaper" (the
// picture's full path, empty for no picture), "WallpaperStyle" and "TileWallpaper" ("1" tiled,
// "0" otherwise). Each backend maps them to its desktop's own settings.
struct WallpaperValues {
    QString wallpaper;
    std::int32_t wallpaperStyle = 0;
    QString tileWallpaper = QStringLiteral("0");

    bool operator==(const WallpaperValues&) const = default;
};

// What a backend read from the desktop so that it can put it back exactly: the three values,
// and the backend's own record (settings the three values cannot express, such as a key the
// user never set). The record is opaque text that only the backend that wrote it reads.
struct WallpaperSnapshot {
    WallpaperValues values;
    QString detail;

    bool operator==(const WallpaperSnapshot&) const = default;
};

// One screen's picture, for a desktop that takes a picture of its own for each screen.
struct ScreenWallpaper {
    ScreenMetrics screen;
    WallpaperValues values;
};

// One desktop's wallpaper service. Calls are serialised here, so the worker thread's changes
// and the user-interface thread's restore never interleave. Every call is bounded in time and
// never throws or shows a message: a failed show, read or restore comes back as false or
// nothing and writes one warning with its reason to tessaron.wallpaper.
class DesktopWallpaper {
public:
    virtual ~DesktopWallpaper() = default;

    // A short lower-case name of the backend ("x11", "gnome", ...).
    virtual QString name() const = 0;

    // Whether the desktop can be reached now (schema installed, service present, ...);
    // otherwise `whyNot`, when given, says why. A probe logs nothing: its caller decides.
    bool probe(QString* whyNot = nullptr);
    // Shows the picture of `values`; the desktop shows the file's current content even when
    // the path is the one already shown. False when the desktop could not be reached.
    bool show(const WallpaperValues& values);
    // Whether the desktop takes a picture of its own for each screen. Where it does not, the
    // pictures of several screens are put together into one that spans them all ("spanned":
    // "WallpaperStyle" 22), which show() places over the whole desktop.
    virtual bool takesEachScreen() const { return false; }
    // Shows each picture on its screen (found by name, or by place where the desktop has no
    // names); screens that are not listed keep what they show. False when the desktop could
    // not be reached or takes no picture per screen.
    bool showEach(const std::vector<ScreenWallpaper>& pictures);
    // The wallpaper as the user has it now, or nothing when it cannot be read.
    std::optional<WallpaperSnapshot> read();
    // Puts back what read() gave; a snapshot whose detail this backend did not write is put
    // back from its three values. False when the desktop could not be reached.
    bool restore(const WallpaperSnapshot& snapshot);

protected:
    // The do* functions report why they failed through fail(); a failure left unexplained
    // is logged with a generic reason.
    virtual bool doProbe() = 0;
    virtual bool doShow(const WallpaperValues& values) = 0;
    virtual bool doShowEach(const std::vector<ScreenWallpaper>&) { return false; }
    virtual std::optional<WallpaperSnapshot> doRead() = 0;
    virtual bool doRestore(const WallpaperSnapshot& snapshot) { return doShow(snapshot.values); }

    // Records why the call in progress failed (the first reason given wins: later ones are
    // usually its consequences) and returns false, so that failure paths read
    // `return fail(...)`.
    bool fail(const QString& reason);

private:
    // The recorded reason, cleared for the next call.
    QString takeFailure();

    std::mutex m_mutex;
    QString m_failure;
};
