#include "platform/SingleInstanceLock.h"

#include "platform/AppPaths.h"

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
    if (m_lock && m_lock->isLocked())
        return Result::Acquired;
    if (m_path.isEmpty() || !ensurePrivateDir(m_path.left(m_path.lastIndexOf(QLatin1Char('/')))))
        return Result::Unavailable;
    m_lock = std::make_unique<QLockFile>(m_path);
    // Only a dead holder makes a lock stale, however long the first copy has run.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0))
        return Result::Acquired;
    // A lock without its holder's record is what a crash between the lock's creation and the
    // writing of that record leaves. No holder can be shown alive in it, so it is taken over
    // once it is a second old; Qt never removes one whose holder lives, as that holds it locked.
    qint64 pid = 0;
    QString host;
    QString application;
    if (m_lock->error() == QLockFile::LockFailedError &&
        !m_lock->getLockInfo(&pid, &host, &application)) {
        m_lock->setStaleLockTime(std::chrono::seconds(1));
        if (m_lock->tryLock(std::chrono::milliseconds(1500)))
            return Result::Acquired;
    }
    return m_lock->error() == QLockFile::LockFailedError ? Result::HeldElsewhere
                                                         : Result::Unavailable;
}
