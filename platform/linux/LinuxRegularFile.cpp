#include "platform/RegularFile.h"

#include "platform/FileName.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

void makePrivate(const QString& path) {
    ::chmod(QFile::encodeName(path).constData(), 0600);
}

} // namespace RegularFile
