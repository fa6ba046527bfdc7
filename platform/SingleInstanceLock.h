#pragma once

#include <QString>
#include <memory>

// One running copy per user session, held for the life of the object.
//
// Linux: a lock file in the user's private runtime folder, keyed by the display. An empty
// folder means no usable folder exists. A lock left by a dead process is taken over, and so is
// one that a crash left empty once it is a second old.
// Windows: the hidden top-level window titled "Hide"; any window of that title, whoever made
// it, counts as a running copy.
class SingleInstanceLock {
public:
    SingleInstanceLock(const QString& runtimeDir, const QString& appName);
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    enum class Result {
        Acquired,      // this process now holds the lock
        HeldElsewhere, // another live copy holds it
        Unavailable,   // no lock can be had here (no usable folder, or the system refuses)
    };
    Result tryLock();

private:
    struct Holder;
    QString m_path; // the lock file (Linux)
    std::unique_ptr<Holder> m_holder;
};
