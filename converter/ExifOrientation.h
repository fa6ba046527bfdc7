#pragma once

#include <cstdint>
#include <span>

// The Exif orientation (tag 274) of a JPEG or TIFF file, read from its bytes: 1 (upright) to 8
// as Exif numbers them; 1 when the file has none or it cannot be read. For a picture library
// whose codecs do not tell it on every system.
class ExifOrientation {
public:
    static int of(std::span<const std::uint8_t> file);
};
