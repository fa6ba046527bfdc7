#pragma once

#include <QString>
#include <array>
#include <cstddef>
#include <optional>

// One entry of the file list or the URL list: a fixed 520-byte block of text, ended by a zero
// byte, every byte after it zero. Text that does not fit is refused, never cut. The bytes are
// kept as the file system's: a name that is not UTF-8 reads back and saves as it was.
class ListEntry {
public:
    static constexpr std::size_t kSize = 520;
    static constexpr std::size_t kMaxTextBytes = kSize - 1;

    ListEntry() = default;

    // The entry holding the text, or nothing when its UTF-8 form is longer than 519 bytes or
    // holds a zero byte.
    static std::optional<ListEntry> fromText(const QString& text);
    // An entry read from a list file: the text up to the first zero byte (at most 519 bytes);
    // the rest of the block is zeroed.
    static ListEntry fromBlock(const char* block);

    QString text() const;
    bool isEmpty() const { return m_bytes[0] == 0; }
    const char* block() const { return m_bytes.data(); }

    bool operator==(const ListEntry&) const = default;

private:
    std::array<char, kSize> m_bytes{};
};
