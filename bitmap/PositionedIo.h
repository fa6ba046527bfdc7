#pragma once

#include <cstddef>
#include <cstdint>
#include <sys/types.h>

// Reads and writes at an offset of a file without moving a position that another thread
// relies on: pread() and pwrite() where the C library has them, else a seek and a transfer
// that no other call of these can come between.
namespace PositionedIo {
ssize_t readAt(int fd, std::uint8_t* out, std::size_t size, std::uint64_t at);
ssize_t writeAt(int fd, const std::uint8_t* data, std::size_t size, std::uint64_t at);
} // namespace PositionedIo
