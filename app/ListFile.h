#pragma once

#include "worker/SlideShowState.h"

#include <QString>
#include <functional>

// The binary list files: a signed 32-bit little-endian count, then that many 520-byte
// entries. Saves go to a new file that replaces the old one by rename once it is written whole,
// so a program killed mid-save or a full disk leaves the old list whole (and logs why).
class ListFile {
public:
    // Called after the new file is written and before it replaces the old one; returning false
    // abandons the save (tests use it to stand for a crash at that moment).
    using CommitGate = std::function<bool()>;

    // Reads the list; a missing file is created holding an empty list. A count that is
    // negative gives an empty list; a count beyond the file's size gives the entries present.
    static EntryList load(const QString& path);

    // "Save all": replaces the file with the count and the entries, only if the file exists.
    static bool save(const QString& path, const EntryList& entries, const CommitGate& gate = {});

    // "Save on destroy": writes the count and the entries over the start of the file, keeping
    // any bytes a longer earlier list left after them. Only if the file exists.
    static bool saveOverStart(const QString& path, const EntryList& entries,
                              const CommitGate& gate = {});

    static QByteArray encode(const EntryList& entries);
    static EntryList decode(const QByteArray& bytes);
};
