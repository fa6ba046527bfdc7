#pragma once

#include <QString>

// Whether a graphical session can be reached, checked before the toolkit starts (the toolkit
// aborts the process when it cannot open its display).
namespace DisplayProbe {
// True when a display can be opened; otherwise `reason` says why.
bool canOpenDisplay(QString* reason);
} // namespace DisplayProbe
