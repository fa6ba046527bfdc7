#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// Reads little-endian fields out of a byte range; every read is bounds-checked and a read
// beyond the end gives 0, so callers test has() for whatever they rely on.
class ByteView {
public:
    explicit ByteView(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}

    std::size_t size() const { return m_bytes.size(); }
    bool has(std::size_t offset, std::size_t count) const {
        return offset <= m_bytes.size() && count <= m_bytes.size() - offset;
    }
    std::uint8_t u8(std::size_t offset) const { return has(offset, 1) ? m_bytes[offset] : 0; }
    std::uint16_t u16(std::size_t offset) const {
        return has(offset, 2)
                   ? static_cast<std::uint16_t>(m_bytes[offset] | m_bytes[offset + 1] << 8)
                   : 0;
    }
    std::uint32_t u32(std::size_t offset) const {
        if (!has(offset, 4))
            return 0;
        return static_cast<std::uint32_t>(m_bytes[offset]) |
               static_cast<std::uint32_t>(m_bytes[offset + 1]) << 8 |
               static_cast<std::uint32_t>(m_bytes[offset + 2]) << 16 |
               static_cast<std::uint32_t>(m_bytes[offset + 3]) << 24;
    }
    const std::uint8_t* data() const { return m_bytes.data(); }

private:
    std::span<const std::uint8_t> m_bytes;
};
