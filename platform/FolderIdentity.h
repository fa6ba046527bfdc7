#pragma once

#include <QString>
#include <compare>
#include <cstdint>
#include <optional>

// What tells one folder from another however it is reached (by another path, through links):
// on Linux its device and inode numbers.
struct FolderIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;

    auto operator<=>(const FolderIdentity&) const = default;

    // The identity of the folder at `path`, links followed; nothing when no folder can be
    // reached there.
    static std::optional<FolderIdentity> of(const QString& path);
};
