#pragma once

#include "worker/PictureHistory.h"

#include <QString>

// The history's file in the program's data folder. It is replaced whole at every save (the old
// file or the new one, never half of one), so that it survives the program's end of any kind.
class HistoryFile {
public:
    static QString pathIn(const QString& dataDir);

    // The history the file holds; an empty one when it is missing or unreadable.
    static PictureHistory load(const QString& path);
    static bool save(const QString& path, const PictureHistory& history);
};
