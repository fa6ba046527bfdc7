#include "platform/LogCategories.h"

// Info and above are on by default: a user whose wallpaper never changes has the log to go on.
Q_LOGGING_CATEGORY(lcPlatform, "tessaron.platform", QtInfoMsg)
Q_LOGGING_CATEGORY(lcWallpaper, "tessaron.wallpaper", QtInfoMsg)
Q_LOGGING_CATEGORY(lcConvert, "tessaron.convert", QtInfoMsg)
Q_LOGGING_CATEGORY(lcFtp, "tessaron.ftp", QtInfoMsg)
Q_LOGGING_CATEGORY(lcWorker, "tessaron.worker", QtInfoMsg)
Q_LOGGING_CATEGORY(lcUi, "tessaron.ui", QtInfoMsg)
Q_LOGGING_CATEGORY(lcApp, "tessaron.app", QtInfoMsg)
