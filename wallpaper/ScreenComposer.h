#pragma once

#include "platform/ScreenInfo.h"

#include <QString>
#include <cstdint>
#include <vector>

// Puts the bitmaps made for several screens together into one bitmap over the bounding box of
// all the screens, for desktops that take one picture for the whole desktop: each screen's
// bitmap in its place, tiled from the screen's corner for the Tile layout and centred for the
// others (cut at the screen's edges), black where no screen is. It streams: one row of each
// bitmap and one row of the result are in memory at a time, and no image library is used.
class ScreenComposer {
public:
    // Reads the uncompressed 24-bit bitmaps of `parts` and writes the result to `out` (which
    // appears complete or not at all). False, with the reason logged, when a bitmap cannot be
    // read or the result cannot be written.
    static bool compose(const std::vector<ScreenBitmap>& parts, std::int32_t layout,
                        const QString& out);
};
