#include "bitmap/PositionedIo.h"

#include <algorithm>
#include <mutex>
#include <unistd.h>

namespace PositionedIo {

#ifdef TESSARON_HAVE_PREAD

ssize_t readAt(int fd, std::uint8_t* out, std::size_t size, std::uint64_t at) {
    return ::pread(fd, out, size, static_cast<off_t>(at));
}

ssize_t writeAt(int fd, const std::uint8_t* data, std::size_t size, std::uint64_t at) {
    return ::pwrite(fd, data, size, static_cast<off_t>(at));
}

#else

namespace {
std::mutex seekMutex;
// The C library's transfers take an unsigned count.
unsigned chunk(std::size_t size) {
    return static_cast<unsigned>(std::min<std::size_t>(size, 1u << 30));
}
} // namespace

ssize_t readAt(int fd, std::uint8_t* out, std::size_t size, std::uint64_t at) {
    const std::lock_guard lock(seekMutex);
    if (::_lseeki64(fd, static_cast<long long>(at), SEEK_SET) < 0)
        return -1;
    return ::read(fd, out, chunk(size));
}

ssize_t writeAt(int fd, const std::uint8_t* data, std::size_t size, std::uint64_t at) {
    const std::lock_guard lock(seekMutex);
    if (::_lseeki64(fd, static_cast<long long>(at), SEEK_SET) < 0)
        return -1;
    return ::write(fd, data, chunk(size));
}

#endif

} // namespace PositionedIo
