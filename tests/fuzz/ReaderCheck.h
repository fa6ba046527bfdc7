#pragma once

#include "converter/DecodedPicture.h"

#include <cstdlib>
#include <span>

// Runs one of our own picture readers on `bytes` and aborts when what it claims to have
// decoded does not fit the memory it took.
inline void checkReader(bool (*read)(std::span<const std::uint8_t>, DecodedPicture&),
                        std::span<const std::uint8_t> bytes) {
    DecodedPicture picture;
    if (!read(bytes, picture))
        return;
    if (picture.width <= 0 || picture.height <= 0 ||
        static_cast<std::int64_t>(picture.width) * picture.height > kMaxPicturePixels ||
        picture.pixels.size() != picture.rowBytes() * static_cast<std::size_t>(picture.height))
        std::abort();
}
