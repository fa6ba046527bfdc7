#include "platform/RegularFile.h"

#include "platform/windows/WindowsPath.h"

#include <QFile>
#include <QRandomGenerator>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace {

// Opens what is at `path` (links followed) for `access`, when it is a file on a disk: no
// folder, pipe or device.
HANDLE openRegular(const QString& path, DWORD access) {
    const HANDLE file = CreateFileW(WindowsPath::native(path).c_str(), access,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return file;
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        CloseHandle(file);
        return INVALID_HANDLE_VALUE;
    }
    return file;
}

// Hands the handle to `file`, which closes it from then on.
bool adopt(QFile& file, HANDLE handle, int flags, QIODevice::OpenMode mode) {
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), flags | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        return false;
    }
    if (!file.open(fd, mode, QFileDevice::AutoCloseHandle)) {
        _close(fd);
        return false;
    }
    return true;
}

// Every byte, flushed to disk, or false: a short write (a full disk) is never success.
bool writeAll(HANDLE file, const QByteArray& bytes) {
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<qsizetype>(left, 1 << 30));
        if (!WriteFile(file, data, chunk, &written, nullptr) || written == 0)
            return false;
        data += written;
        left -= written;
    }
    return FlushFileBuffers(file);
}

} // namespace

namespace RegularFile {

bool openForReading(QFile& file, const QString& path) {
    const HANDLE handle = openRegular(path, GENERIC_READ);
    return handle != INVALID_HANDLE_VALUE && adopt(file, handle, _O_RDONLY, QIODevice::ReadOnly);
}

bool isRegular(const QString& path) {
    const HANDLE handle = openRegular(path, FILE_READ_ATTRIBUTES);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(handle);
    return true;
}

bool isOtherThanRegular(const QString& path) {
    return GetFileAttributesW(WindowsPath::native(path).c_str()) != INVALID_FILE_ATTRIBUTES &&
           !isRegular(path);
}

bool createNew(QFile& file, const QString& path, bool* exists) {
    // CREATE_NEW fails on anything at the name, a link included. The file takes the access
    // rules of its folder, which for the program's folders is the user's own.
    const HANDLE handle = CreateFileW(WindowsPath::native(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (exists)
        *exists = handle == INVALID_HANDLE_VALUE &&
                  (GetLastError() == ERROR_FILE_EXISTS || GetLastError() == ERROR_ALREADY_EXISTS);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    if (!adopt(file, handle, _O_WRONLY, QIODevice::WriteOnly)) {
        DeleteFileW(WindowsPath::native(path).c_str());
        return false;
    }
    return true;
}

bool moveOver(const QString& from, const QString& to) {
    return MoveFileExW(WindowsPath::native(from).c_str(), WindowsPath::native(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

bool replace(const QString& path, const QByteArray& bytes, const BeforeReplace& beforeReplace,
             QString* error) {
    HANDLE file = INVALID_HANDLE_VALUE;
    QString temporary;
    for (int attempt = 0; attempt < 16 && file == INVALID_HANDLE_VALUE; ++attempt) {
        temporary = path + QStringLiteral(".new-") +
                    QString::number(QRandomGenerator::system()->generate64(), 36);
        file = CreateFileW(WindowsPath::native(temporary).c_str(), GENERIC_WRITE, 0, nullptr,
                           CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS)
            break;
    }
    if (file == INVALID_HANDLE_VALUE) {
        if (error)
            *error = qt_error_string(static_cast<int>(GetLastError()));
        return false;
    }
    bool ok = writeAll(file, bytes);
    QString why = ok ? QString() : qt_error_string(static_cast<int>(GetLastError()));
    CloseHandle(file);
    if (ok && beforeReplace && !beforeReplace(temporary)) {
        ok = false;
        why = QStringLiteral("the new file was refused");
    }
    // The old file or the whole new one: the move replaces the name in one step, written
    // through to disk before it returns.
    if (ok && !moveOver(temporary, path)) {
        ok = false;
        why = qt_error_string(static_cast<int>(GetLastError()));
    }
    if (!ok) {
        DeleteFileW(WindowsPath::native(temporary).c_str());
        if (error)
            *error = why;
    }
    return ok;
}

} // namespace RegularFile
