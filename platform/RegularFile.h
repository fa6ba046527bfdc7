#pragma once

#include <QString>

class QFile;

// Opening files that hold the user's data. A list file that turns out to be a FIFO or a
// device would block the program or be replaced by a rename, so only regular files are
// opened, and the open never waits for a writer.
namespace RegularFile {

// Opens `path` for reading into `file` when it is a regular file (links followed).
bool openForReading(QFile& file, const QString& path);
// True when `path` names a regular file (links followed); any name the file system holds works.
bool isRegular(const QString& path);
// True when `path` names something other than a regular file (after following links);
// false for a regular file and for nothing at all.
bool isOtherThanRegular(const QString& path);
// Makes the file readable and writable by its owner only.
void makePrivate(const QString& path);

} // namespace RegularFile
