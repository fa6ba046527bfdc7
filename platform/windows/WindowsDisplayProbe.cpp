#include "platform/DisplayProbe.h"

#include <windows.h>

struct DisplayProbe::Connection {};

DisplayProbe::DisplayProbe() = default;
DisplayProbe::~DisplayProbe() = default;

bool DisplayProbe::canOpenDisplay(QString* reason) {
    // A program of the user's session always has its desktop; one started where no desktop can
    // be reached (a service's session) has no window station with a visible desktop.
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return true;
    USEROBJECTFLAGS flags{};
    const HWINSTA station = GetProcessWindowStation();
    if (station && GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, nullptr) &&
        !(flags.dwFlags & WSF_VISIBLE)) {
        if (reason)
            *reason = QStringLiteral("the window station has no visible desktop");
        return false;
    }
    return true;
}

void DisplayProbe::release() {}
