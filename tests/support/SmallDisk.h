#pragma once

#include <QString>
#include <QTemporaryDir>

// A tmpfs of a few hundred KiB mounted for one test, so that a test can fill it to the last
// page. Mounting needs root (CI runs as root); where it is refused, `mounted()` is false and
// `whyNot()` says why.
class SmallDisk {
public:
    explicit SmallDisk(int kib = 256);
    ~SmallDisk();

    bool mounted() const { return m_mounted; }
    QString whyNot() const { return m_whyNot; }
    QString path() const { return m_dir.path(); }
    QString file(const QString& relative) const { return m_dir.filePath(relative); }

    // Fills the disk with a filler file until only `freePages` pages of 4 KiB are left.
    void fillLeaving(int freePages);
    // Removes the filler.
    void makeRoom();

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
    QString m_whyNot;
};
