#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

// One running copy per user session: a lock file in the user's private runtime folder, keyed
// by the display, held for the life of the process. A lock left by a dead process is taken
// over.
class SingleInstanceLock {
public:
    SingleInstanceLock(const QString& runtimeDir, const QString& appName);
    ~SingleInstanceLock();

    // True when this process now holds the lock, false when another live copy holds it.
    bool tryLock();
    QString lockPath() const { return m_path; }

private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
};
