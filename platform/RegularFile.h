#pragma once

#include <QString>
#include <functional>

class QFile;
class QByteArray;

// Opening and replacing files that hold the user's data. A list file that turns out to be a
// FIFO or a device would block the program or be replaced by a rename, so only regular files
// are opened, and the open never waits for a writer.
namespace RegularFile {

// Opens `path` for reading into `file` when it is a regular file (links followed).
bool openForReading(QFile& file, const QString& path);
// True when `path` names a regular file (links followed); any name the file system holds works.
bool isRegular(const QString& path);
// True when `path` names something other than a regular file (after following links);
// false for a regular file and for nothing at all.
bool isOtherThanRegular(const QString& path);

// Creates a new file at `path`, readable and writable by its owner only, and opens it for
// writing into `file`. Fails when anything, a link included, is at the name already (`exists`,
// when given, then tells so): nothing planted there is written through.
bool createNew(QFile& file, const QString& path, bool* exists = nullptr);
// Moves the file `from` to `to` in the same folder, replacing what is at `to` (a link there
// itself, never its target) in one step.
bool moveOver(const QString& from, const QString& to);

// Called with the name of the new file once it is written whole, before it replaces the old
// one; false abandons the replacement.
using BeforeReplace = std::function<bool(const QString& written)>;

// Puts a new file holding exactly `bytes` in the place of `path`, readable and writable by its
// owner only. The new file is written beside the old one under a name of its own and takes the
// old one's place by rename only once every byte is on disk: on a full disk, or when the
// program dies, the old file stays whole. A link at `path` is itself replaced, never followed.
// On failure `error` (when given) says why.
bool replace(const QString& path, const QByteArray& bytes, const BeforeReplace& beforeReplace = {},
             QString* error = nullptr);

} // namespace RegularFile
