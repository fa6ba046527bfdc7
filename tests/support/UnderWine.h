#pragma once

#include <QtGlobal>

// Whether the test runs under Wine, which the Windows test run sets up with a prefix of its
// own. Some system services (TLS through Schannel, SSH through the system's cryptography) do
// not yet work there against the test servers; those tests say so and skip.
inline bool underWine() {
    return !qEnvironmentVariableIsEmpty("WINEPREFIX");
}
