#pragma once

#include "platform/DesktopWallpaper.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <sys/types.h>
#include <vector>

// One swaybg that the program started, drawing pictures on the compositor's background layer.
// It is known to have drawn once it has committed a picture to every surface it made, which
// its Wayland requests tell (it runs with WAYLAND_DEBUG=client on a pipe read until then).
//
// swaybg is started from one thread that lives as long as the program, with a parent-death
// signal: it ends with the program however the program ends, and never with a thread of it.
// The program ends only the swaybg processes it started, by the pid it still holds.
class SwaybgProcess {
public:
    // A picture for one output ("*" for every output); an empty path asks for plain black.
    struct Picture {
        QString output;
        QString path;
        QString mode; // swaybg's: center, tile, fit, fill, stretch

        bool operator==(const Picture&) const = default;
    };

    ~SwaybgProcess();
    SwaybgProcess(const SwaybgProcess&) = delete;
    SwaybgProcess& operator=(const SwaybgProcess&) = delete;

    // swaybg's mode for the values: tile for "TileWallpaper" "1", center for the program's
    // other bitmaps (made for their screen, shown pixel for pixel); the desktops' own
    // placements for a user's wallpaper put back. Empty when the values ask for no picture.
    static QString modeOf(const WallpaperValues& values);
    // The words for swaybg: each picture on its output, black where a picture leaves room.
    static QStringList arguments(const std::vector<Picture>& pictures);

    // Starts `program` with `arguments` and waits up to `timeoutMs` until it has drawn. Null
    // when it could not start, ended, or drew nothing in time (then it is ended); `why` says
    // which.
    static std::unique_ptr<SwaybgProcess>
    start(const QString& program, const QStringList& arguments, int timeoutMs, QString* why);

    pid_t pid() const { return m_pid; }

private:
    SwaybgProcess(pid_t pid, int errorFd) : m_pid(pid), m_errorFd(errorFd) {}
    // Reads swaybg's requests until it has drawn; false with `why` when it will not.
    bool waitUntilDrawn(int timeoutMs, QString* why);

    pid_t m_pid;
    int m_errorFd;
};
