#pragma once

#include <array>

// The picture table, in this order: the search pattern of a folder scan, the shortcut mark,
// then the accepted picture types. Matches are made anywhere in an upper-case copy of a path.
inline constexpr std::array<const char*, 8> PictureExtensions{"*",    ".lnk", ".bmp", ".gif",
                                                              ".jpg", ".tif", ".pcx", ".tga"};

inline constexpr std::size_t kShortcutExtension = 1;
inline constexpr std::size_t kFirstPictureExtension = 2;

// The picture types taken besides the table's when "AllPictureTypes" is on, matched the same
// way.
inline constexpr std::array<const char*, 8> MorePictureExtensions{
    ".png", ".webp", ".jpeg", ".jpe", ".jfif", ".heic", ".heif", ".avif"};
