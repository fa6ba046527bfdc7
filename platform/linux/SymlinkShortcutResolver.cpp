#include "platform/linux/SymlinkShortcutResolver.h"

#include "platform/FileName.h"

#include <climits>
#include <cstdlib>
#include <memory>
#include <sys/stat.h>

QString SymlinkShortcutResolver::resolveShortcut(const QString& path) const {
    if (path.isEmpty())
        return {};
    const QByteArray native = FileName::toNative(path);
    struct stat info {};
    if (lstat(native.constData(), &info) != 0 || !S_ISLNK(info.st_mode))
        return {};
    // realpath follows the whole chain and fails on a dangling link or a loop.
    const std::unique_ptr<char, decltype(&std::free)> target(realpath(native.constData(), nullptr),
                                                             &std::free);
    if (!target)
        return {};
    return FileName::fromNative(QByteArray(target.get()));
}
