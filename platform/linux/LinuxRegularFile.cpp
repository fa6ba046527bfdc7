#include "platform/RegularFile.h"

#include "platform/FileName.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Every byte, or false: a short write (a full disk) is never taken for success.
bool writeAll(int fd, const QByteArray& bytes) {
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = ENOSPC;
            return false;
        }
        data += written;
        left -= written;
    }
    return true;
}

// The rename itself is on disk only once the folder is.
void syncFolderOf(const QByteArray& file) {
    const qsizetype slash = file.lastIndexOf('/');
    const QByteArray folder = slash > 0 ? file.left(slash) : QByteArray(slash == 0 ? "/" : ".");
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

namespace RegularFile {

bool openForReading(QFile& file, const QString& path) {
    const int fd = ::open(FileName::toNative(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
}

bool isOtherThanRegular(const QString& path) {
    struct stat info {};
    if (::stat(FileName::toNative(path).constData(), &info) != 0)
        return false;
    return !S_ISREG(info.st_mode);
}

bool isRegular(const QString& path) {
    struct stat info {};
    return ::stat(FileName::toNative(path).constData(), &info) == 0 && S_ISREG(info.st_mode);
}

bool createNew(QFile& file, const QString& path, bool* exists) {
    const int fd = ::open(FileName::toNative(path).constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (exists)
        *exists = fd < 0 && errno == EEXIST;
    if (fd < 0)
        return false;
    if (!file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        ::unlink(FileName::toNative(path).constData());
        return false;
    }
    return true;
}

bool moveOver(const QString& from, const QString& to) {
    return ::rename(FileName::toNative(from).constData(), FileName::toNative(to).constData()) == 0;
}

bool replace(const QString& path, const QByteArray& bytes, const BeforeReplace& beforeReplace,
             QString* error) {
    const QByteArray target = FileName::toNative(path);
    QByteArray temporary = target + ".XXXXXX";
    // A new name, created exclusively with mode 0600: nothing at it is followed or reused.
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        if (error)
            *error = qt_error_string(errno);
        return false;
    }
    bool ok = writeAll(fd, bytes) && ::fsync(fd) == 0;
    int reason = ok ? 0 : errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        reason = errno;
    }
    QString why = ok ? QString() : qt_error_string(reason);
    if (ok && beforeReplace && !beforeReplace(FileName::fromNative(temporary))) {
        ok = false;
        why = QStringLiteral("the new file was refused");
    }
    // rename() replaces whatever is at the name, a link included, and never its target.
    if (ok && ::rename(temporary.constData(), target.constData()) != 0) {
        ok = false;
        why = qt_error_string(errno);
    }
    if (!ok) {
        ::unlink(temporary.constData());
        if (error)
            *error = why;
        return false;
    }
    syncFolderOf(target);
    return true;
}

} // namespace RegularFile
