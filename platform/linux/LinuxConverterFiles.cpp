#include "platform/ConverterFiles.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void closeIfOpen(int& fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

} // namespace

struct ConverterFiles::Handles {
    int picture = -1;
    int folder = -1; // of the bitmap, by which it is made and removed
    int bitmap = -1;
    std::string name; // of the bitmap, in `folder`
};

ConverterFiles::ConverterFiles() : m_handles(new Handles) {}

ConverterFiles::~ConverterFiles() {
    closeIfOpen(m_handles->picture);
    closeIfOpen(m_handles->folder);
    closeIfOpen(m_handles->bitmap);
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
    // The picture: a file that may not block (a FIFO) and does not become a terminal.
    h.picture = ::open(picture.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    struct stat info {};
    if (h.picture < 0)
        return errno == ENOENT ? "cannot read the picture (no such file)"
                               : "cannot read the picture (not a readable file)";
    if (::fstat(h.picture, &info) != 0 || !S_ISREG(info.st_mode))
        return "cannot read the picture (not a readable file)";
    ::fcntl(h.picture, F_SETFL, 0);
    const ssize_t headSize = ::pread(h.picture, m_head, sizeof m_head, 0);
    m_headSize = headSize > 0 ? static_cast<std::size_t>(headSize) : 0;

    // The bitmap, made now in its folder (once the sandbox is up nothing can be made any more),
    // readable by the user alone like every file of the program's.
    const std::size_t slash = bitmap.rfind('/');
    const std::string folderName =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : bitmap.substr(0, slash));
    h.name = slash == std::string::npos ? bitmap : bitmap.substr(slash + 1);
    h.folder = ::open(folderName.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (h.name.empty() || h.folder < 0)
        return "cannot open the bitmap's folder: " + std::string(std::strerror(errno));
    h.bitmap = ::openat(h.folder, h.name.c_str(),
                        O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (h.bitmap < 0)
        return "cannot write the bitmap: " + std::string(std::strerror(errno));
    if (::fstat(h.bitmap, &info) != 0 || !S_ISREG(info.st_mode))
        return "cannot write the bitmap: not a regular file";
    return std::nullopt;
}

void ConverterFiles::removeBitmap() {
    if (m_handles->folder >= 0 && !m_handles->name.empty())
        ::unlinkat(m_handles->folder, m_handles->name.c_str(), 0);
}

void ConverterFiles::keepOnlyDescriptors() {
    closeIfOpen(m_handles->folder);
}
