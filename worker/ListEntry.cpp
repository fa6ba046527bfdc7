#include "worker/ListEntry.h"

#include "platform/FileName.h"

#include <cstring>

std::optional<ListEntry> ListEntry::fromText(const QString& text) {
    const QByteArray utf8 = FileName::toNative(text);
    if (static_cast<std::size_t>(utf8.size()) > kMaxTextBytes || utf8.contains('\0'))
        return std::nullopt;
    ListEntry entry;
    std::memcpy(entry.m_bytes.data(), utf8.constData(), static_cast<std::size_t>(utf8.size()));
    return entry;
}

ListEntry ListEntry::fromBlock(const char* block) {
    ListEntry entry;
    const void* end = std::memchr(block, 0, kMaxTextBytes);
    const std::size_t length =
        end ? static_cast<std::size_t>(static_cast<const char*>(end) - block) : kMaxTextBytes;
    std::memcpy(entry.m_bytes.data(), block, length);
    return entry;
}

QString ListEntry::text() const {
    return FileName::fromNative(QByteArray(m_bytes.data()));
}
