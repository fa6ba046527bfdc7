#pragma once

#include "conversion/ScreenArea.h"

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <mutex>
#include <vector>

// One screen in device pixels (its logical size times its device pixel ratio), which is what a
// picture is converted for, so that it is sharp on a HiDPI screen.
struct ScreenMetrics : ScreenArea {
    QString name;        // the output's name as the desktop knows it ("HDMI-A-1")
    QPoint origin{0, 0}; // the top left corner on the whole desktop
    double devicePixelRatio = 1.0;
    bool primary = true;

    // The screen's size in the coordinates of `origin`: its device size where the desktop lays
    // screens out in device pixels (X11); where it lays them out in logical units (Wayland),
    // its logical size in the same scale as `origin`. Empty: the same as `screen`.
    QSize extent;

    QRect geometry() const { return QRect(origin, screen); }
    // Where the screen lies on the whole desktop, so that screens of different scales meet
    // where the desktop has them meet.
    QRect placeOnDesktop() const { return QRect(origin, extent.isEmpty() ? screen : extent); }

    bool operator==(const ScreenMetrics&) const = default;
};

// A bitmap file made for one screen.
struct ScreenBitmap {
    ScreenMetrics screen;
    QString bitmap;
};

// Every screen of the desktop. The user-interface thread keeps it current; the worker reads a
// consistent copy at the moment a change begins.
class ScreenInfo {
public:
    // The screens left to right, then top to bottom; never empty (one default screen when the
    // desktop reports none).
    std::vector<ScreenMetrics> screens() const;
    // The primary screen (the first one when none is marked primary).
    ScreenMetrics primary() const;
    // Takes the screens in any order.
    void setScreens(std::vector<ScreenMetrics> screens);

    // The order pictures are given to screens in: left to right, then top to bottom.
    static void sortForPictures(std::vector<ScreenMetrics>& screens);
    // The primary one of `screens`, or the first; a default screen for an empty list.
    static ScreenMetrics primaryOf(const std::vector<ScreenMetrics>& screens);

private:
    mutable std::mutex m_mutex;
    std::vector<ScreenMetrics> m_screens{ScreenMetrics{}};
};
