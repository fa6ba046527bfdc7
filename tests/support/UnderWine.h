#pragma once

#include <QtGlobal>

// Whether the test runs under Wine, which the Windows test run sets up with a prefix of its
// own. Where Wine's system services fall short of Windows' (Schannel's end of an FTPS data
// connection), the tests say so and skip.
inline bool underWine() {
    return !qEnvironmentVariableIsEmpty("WINEPREFIX");
}
