#include "tests/support/SmallDisk.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

namespace {
constexpr const char* kFiller = ".filler";
constexpr off_t kPage = 4096;
} // namespace

SmallDisk::SmallDisk(int kib) {
    const QByteArray options = "size=" + QByteArray::number(kib) + "k,mode=0755";
    if (::mount("tessaron-test", QFile::encodeName(path()).constData(), "tmpfs",
                MS_NOSUID | MS_NODEV, options.constData()) == 0)
        m_mounted = true;
    else
        m_whyNot = QStringLiteral("cannot mount a small tmpfs (root is needed): ") +
                   QString::fromLocal8Bit(std::strerror(errno));
}

SmallDisk::~SmallDisk() {
    if (m_mounted)
        ::umount2(QFile::encodeName(path()).constData(), MNT_DETACH);
}

void SmallDisk::fillLeaving(int freePages) {
    const QByteArray filler = QFile::encodeName(file(QString::fromLatin1(kFiller)));
    const int fd = ::open(filler.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    const QByteArray block(static_cast<int>(kPage), 'f');
    while (::write(fd, block.constData(), block.size()) > 0) {
    }
    // tmpfs counts whole pages: cutting the filler by whole pages frees exactly those.
    const off_t size = ::lseek(fd, 0, SEEK_END);
    ::ftruncate(fd, std::max<off_t>(0, (size / kPage - freePages) * kPage));
    ::close(fd);
}

void SmallDisk::makeRoom() {
    QFile::remove(file(QString::fromLatin1(kFiller)));
}
