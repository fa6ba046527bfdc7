#include "platform/SingleInstanceLock.h"

#include "platform/AppPaths.h"

#include <QLockFile>

struct SingleInstanceLock::Holder {
    QLockFile file;
    explicit Holder(const QString& path) : file(path) {}
};

namespace {
QString sessionKey() {
    QByteArray display = qgetenv("WAYLAND_DISPLAY");
    if (display.isEmpty())
        display = qgetenv("DISPLAY");
    QString key = QString::fromLocal8Bit(display);
    for (QChar& c : key)
        if (!c.isLetterOrNumber())
            c = QLatin1Char('_');
    return key.isEmpty() ? QStringLiteral("console") : key;
}
} // namespace

SingleInstanceLock::SingleInstanceLock(const QString& runtimeDir, const QString& appName)
    : m_path(runtimeDir.isEmpty() ? QString()
                                  : runtimeDir + QLatin1Char('/') + appName + QLatin1Char('-') +
                                        sessionKey() + QStringLiteral(".lock")) {}

SingleInstanceLock::~SingleInstanceLock() = default;

SingleInstanceLock::Result SingleInstanceLock::tryLock() {
    if (m_holder && m_holder->file.isLocked())
        return Result::Acquired;
    if (m_path.isEmpty() || !ensurePrivateDir(m_path.left(m_path.lastIndexOf(QLatin1Char('/')))))
        return Result::Unavailable;
    m_holder = std::make_unique<Holder>(m_path);
    QLockFile* const lock = &m_holder->file;
    // Only a dead holder makes a lock stale, however long the first copy has run.
    lock->setStaleLockTime(0);
    if (lock->tryLock(0))
        return Result::Acquired;
    // A lock without its holder's record is what a crash between the lock's creation and the
    // writing of that record leaves. No holder can be shown alive in it, so it is taken over
    // once it is a second old; Qt never removes one whose holder lives, as that holds it locked.
    qint64 pid = 0;
    QString host;
    QString application;
    if (lock->error() == QLockFile::LockFailedError &&
        !lock->getLockInfo(&pid, &host, &application)) {
        lock->setStaleLockTime(std::chrono::seconds(1));
        if (lock->tryLock(std::chrono::milliseconds(1500)))
            return Result::Acquired;
    }
    return lock->error() == QLockFile::LockFailedError ? Result::HeldElsewhere
                                                       : Result::Unavailable;
}
