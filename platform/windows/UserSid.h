#pragma once

#include <QString>

// The running user's security identifier as text ("S-1-5-21-..."); empty when the system does
// not tell it.
QString userSid();
