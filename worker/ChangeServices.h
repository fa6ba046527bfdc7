#pragma once

#include "conversion/WallpaperLayout.h"
#include "platform/ScreenInfo.h"
#include "worker/ShownPicture.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

// The services a wallpaper change calls, bound by the application. Every hook runs on a worker
// thread except abortDownload and abortConversion, which the thread that stops a worker calls. An
// empty hook is a service that is not available: the change it belongs to does nothing.
struct ChangeServices {
    // Converts `picture` into the bitmap file `bitmap`, laid out for `layout` on `screen`, in
    // its device pixels. True when the bitmap was written. `bitmap` is a name private to the
    // worker's run; the worker moves the file into place itself.
    std::function<bool(const QString& picture, const QString& bitmap, const WallpaperLayout& layout,
                       const ScreenMetrics& screen)>
        convert;
    // Every screen, left to right, then top to bottom. When empty, one default screen.
    std::function<std::vector<ScreenMetrics>()> screens;
    // Ends the conversions in progress at once (their calls return false); later conversions
    // are unaffected. Called from the thread that stops a worker.
    std::function<void()> abortConversion;
    // Makes `bitmap` the desktop wallpaper shown with `layout`.
    std::function<void(const QString& bitmap, std::int32_t layout)> apply;
    // Shows each screen's own bitmap, for a desktop that takes one per screen.
    std::function<void(const std::vector<ScreenBitmap>& bitmaps, std::int32_t layout)> applyEach;
    // For a desktop that takes one picture for all screens: puts the screens' bitmaps together
    // into `out` (true when written), which applySpanned then shows over the whole desktop.
    // Empty where the desktop takes a bitmap per screen.
    std::function<bool(const std::vector<ScreenBitmap>& bitmaps, std::int32_t layout,
                       const QString& out)>
        compose;
    std::function<void(const QString& bitmap)> applySpanned;
    // A shortcut (a symbolic link) resolved to its target's absolute path; anything else is
    // returned unchanged.
    std::function<QString(const QString& path)> resolveShortcut;
    // Downloads the file `remoteName` of the configured FTP folder (or, for a URL-list entry
    // with a scheme of its own, the whole address); the local copy's path, or "" on any
    // failure. Leaves no session open.
    std::function<QString(const QString& remoteName)> downloadFtpFile;
    // Closes what a download left open (called after an abandoned download).
    std::function<void()> closeFtpSession;
    // Ends the download in progress, if any, promptly (its call then returns ""); later
    // downloads are unaffected. Called from the thread that stops a worker.
    std::function<void()> abortDownload;
    // Told of every change once it is applied, a change shown again from the history too:
    // its pictures, one per screen in screen order (one with one picture for every screen).
    // Runs before anything else can be applied or restored; it must not take long.
    std::function<void(const std::vector<ShownPicture>& pictures)> changed;
};
