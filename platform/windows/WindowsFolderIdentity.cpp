#include "platform/FolderIdentity.h"

#include "platform/windows/WindowsPath.h"

#include <windows.h>

// On Windows a folder is told by its volume's serial number and its file index.
std::optional<FolderIdentity> FolderIdentity::of(const QString& path) {
    // Backup semantics open a folder; links are followed.
    const HANDLE folder = CreateFileW(WindowsPath::native(path).c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (folder == INVALID_HANDLE_VALUE)
        return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool ok = GetFileInformationByHandle(folder, &info) &&
                    (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    CloseHandle(folder);
    if (!ok)
        return std::nullopt;
    return FolderIdentity{info.dwVolumeSerialNumber,
                          (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) |
                              info.nFileIndexLow};
}
