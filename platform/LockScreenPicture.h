#pragma once

#include "platform/ScreenInfo.h"

#include <QString>
#include <optional>
#include <vector>

// The picture of the session's lock screen, where the desktop lets a program set it. The user's
// own picture is read once, so that it can be put back.
class LockScreenPicture {
public:
    virtual ~LockScreenPicture() = default;

    // The user's own lock-screen picture as an opaque record for restore(); nothing when the
    // desktop keeps none that the program changes, or it cannot be read.
    virtual std::optional<QString> read() = 0;
    // Shows the change just applied on the lock screen: each screen's bitmap in screen order,
    // the first standing for all screens where the lock screen has one picture. Called on the
    // worker thread while the bitmaps exist; quick, and failures are logged.
    virtual void show(const std::vector<ScreenBitmap>& screens) = 0;
    // Puts back what read() gave; false when the desktop could not be reached.
    virtual bool restore(const QString& record) = 0;
};
