#pragma once

#include <QRect>
#include <QSize>

// What a conversion needs of a screen: its size and work area in device pixels. Only Qt's
// inline value types, so that the converter program, which links no Qt, can use it.
struct ScreenArea {
    QSize screen{1920, 1080};
    QRect workArea{0, 0, 1920, 1080}; // left, top, width, height, from the screen's own corner

    bool operator==(const ScreenArea&) const = default;
};
