#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

// One running copy per user session: a lock file in the user's private runtime folder, keyed
// by the display, held for the life of the process. An empty folder means no usable folder
// exists. A lock left by a dead process is taken over, and so is one that a crash left empty
// once it is a second old.
class SingleInstanceLock {
public:
    SingleInstanceLock(const QString& runtimeDir, const QString& appName);
    ~SingleInstanceLock();

    enum class Result {
        Acquired,      // this process now holds the lock
        HeldElsewhere, // another live copy holds it
        Unavailable,   // no lock can be had here (no usable folder, or the file system refuses)
    };
    Result tryLock();
    QString lockPath() const { return m_path; }

private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
};
