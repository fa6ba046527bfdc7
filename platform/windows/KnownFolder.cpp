#include "platform/windows/KnownFolder.h"

#include "platform/windows/WindowsPath.h"

QString knownFolder(const KNOWNFOLDERID& id) {
    PWSTR path = nullptr;
    QString folder;
    if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_CREATE, nullptr, &path)))
        folder = WindowsPath::fromNative(path);
    CoTaskMemFree(path);
    return folder;
}
