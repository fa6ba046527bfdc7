#include "converter/DecodedPicture.h"

#include <new>

bool allocatePicture(DecodedPicture& picture, int width, int height, int bands) {
    if (width <= 0 || height <= 0 || bands < 1 || bands > 4)
        return false;
    if (static_cast<std::int64_t>(width) * height > kMaxPicturePixels)
        return false;
    picture.width = width;
    picture.height = height;
    picture.bands = bands;
    try {
        picture.pixels.assign(picture.rowBytes() * static_cast<std::size_t>(height), 0);
    } catch (const std::bad_alloc&) {
        picture.pixels.clear();
        return false;
    }
    return true;
}
