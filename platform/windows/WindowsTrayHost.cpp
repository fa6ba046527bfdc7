#include "platform/TrayHost.h"

bool TrayHost::reportsOnlySingleActivation() {
    // The notification area reports double-clicks: a double-click opens Properties.
    return false;
}
