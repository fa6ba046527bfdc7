#include "platform/ConverterFiles.h"

#include "platform/windows/WindowsConverterHandles.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

namespace {

std::wstring wide(const std::string& utf8) {
    std::wstring text(utf8.size(), L'\0');
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                        text.data(), static_cast<int>(text.size()));
    text.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return text;
}

// A descriptor for a handle to a file on disk (no pipe, device or folder); -1 when it is not one.
int descriptorOf(HANDLE handle, int flags) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (handle == INVALID_HANDLE_VALUE || ::GetFileType(handle) != FILE_TYPE_DISK ||
        !::GetFileInformationByHandle(handle, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        if (handle != INVALID_HANDLE_VALUE)
            ::CloseHandle(handle);
        return -1;
    }
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), flags | _O_BINARY);
    if (fd < 0)
        ::CloseHandle(handle);
    return fd;
}

} // namespace

struct ConverterFiles::Handles {
    int picture = -1;
    int bitmap = -1;
    bool bitmapMadeHere = false; // by name, so this process may remove it
};

ConverterFiles::ConverterFiles() : m_handles(new Handles) {}

ConverterFiles::~ConverterFiles() {
    if (m_handles->picture >= 0)
        ::_close(m_handles->picture);
    if (m_handles->bitmap >= 0)
        ::_close(m_handles->bitmap);
    delete m_handles;
}

int ConverterFiles::picture() const {
    return m_handles->picture;
}

int ConverterFiles::bitmap() const {
    return m_handles->bitmap;
}

std::optional<std::string> ConverterFiles::open(const std::string& picture,
                                                const std::string& bitmap) {
    Handles& h = *m_handles;
    // The program that starts the converter opens both files and hands them down: at low
    // integrity the converter could not make the bitmap in the user's folders.
    HANDLE handle = WindowsConverterHandles::handleOf(picture);
    if (!handle)
        handle = ::CreateFileW(wide(picture).c_str(), GENERIC_READ,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    const DWORD error = ::GetLastError();
    h.picture = descriptorOf(handle, _O_RDONLY);
    if (h.picture < 0)
        return handle == INVALID_HANDLE_VALUE &&
                       (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
                   ? "cannot read the picture (no such file)"
                   : "cannot read the picture (not a readable file)";
    const int headSize = ::_read(h.picture, m_head, sizeof m_head);
    m_headSize = headSize > 0 ? static_cast<std::size_t>(headSize) : 0;
    ::_lseeki64(h.picture, 0, SEEK_SET);

    handle = WindowsConverterHandles::handleOf(bitmap);
    h.bitmapMadeHere = !handle;
    if (!handle)
        handle = ::CreateFileW(wide(bitmap).c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ,
                               nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return "cannot write the bitmap: error " + std::to_string(::GetLastError());
    h.bitmap = descriptorOf(handle, _O_WRONLY);
    if (h.bitmap < 0)
        return "cannot write the bitmap: not a regular file";
    // What was handed down is empty already; what is made here was truncated.
    return std::nullopt;
}

void ConverterFiles::removeBitmap() {
    if (!m_handles->bitmapMadeHere || m_handles->bitmap < 0)
        return;
    FILE_DISPOSITION_INFO remove{TRUE};
    ::SetFileInformationByHandle(reinterpret_cast<HANDLE>(::_get_osfhandle(m_handles->bitmap)),
                                 FileDispositionInfo, &remove, sizeof remove);
}

void ConverterFiles::keepOnlyDescriptors() {}
