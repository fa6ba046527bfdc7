#pragma once

#include <QLoggingCategory>

// The program's logging categories, one per room. Filter them with QT_LOGGING_RULES (for
// example "tessaron.*.debug=true"); an autostarted program's standard error ends up in the
// journal. Nothing is logged for a normal change: only choices made once at start and faults.
Q_DECLARE_LOGGING_CATEGORY(lcPlatform)  // tessaron.platform
Q_DECLARE_LOGGING_CATEGORY(lcWallpaper) // tessaron.wallpaper
Q_DECLARE_LOGGING_CATEGORY(lcConvert)   // tessaron.convert
Q_DECLARE_LOGGING_CATEGORY(lcFtp)       // tessaron.ftp
Q_DECLARE_LOGGING_CATEGORY(lcWorker)    // tessaron.worker
Q_DECLARE_LOGGING_CATEGORY(lcUi)        // tessaron.ui
Q_DECLARE_LOGGING_CATEGORY(lcApp)       // tessaron.app
