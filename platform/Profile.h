#pragma once

#include <QString>
#include <cstdint>
#include <optional>

// The per-user key-value store that holds the program's sections ("Settings", "Store").
// Integers are 32-bit; reads never fail visibly and writes report nothing, as a profile that
// cannot be read must simply give defaults.
class Profile {
public:
    virtual ~Profile() = default;

    // The stored value, or nothing when the key is absent or not an integer.
    virtual std::optional<std::int64_t> readInt(const QString& section,
                                                const QString& key) const = 0;
    virtual std::optional<QString> readString(const QString& section, const QString& key) const = 0;
    virtual void writeInt(const QString& section, const QString& key, std::int64_t value) = 0;
    virtual void writeString(const QString& section, const QString& key, const QString& value) = 0;
    virtual void remove(const QString& section, const QString& key) = 0;
    // Pushes pending writes to storage.
    virtual void flush() = 0;
};
