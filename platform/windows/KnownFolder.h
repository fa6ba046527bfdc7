#pragma once

#include <QString>

#include <windows.h>

#include <shlobj.h>

// The path of one of the user's known folders (FOLDERID_...), '/'-separated; empty when the
// system has none.
QString knownFolder(const KNOWNFOLDERID& id);
