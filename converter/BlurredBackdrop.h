#pragma once

#include <QSize>
#include <cstdint>
#include <vector>

// What lies around a picture on a canvas larger than it, for a picture library that has no
// blur of its own: the picture filled to the canvas (cut to it, centred), blurred and a little
// darker. Made at a small size and enlarged, which the blur hides.
class BlurredBackdrop {
public:
    // `rgb` holds `picture`'s pixels as R, G, B triples, top row first; the result the canvas's.
    static std::vector<std::uint8_t> make(const std::uint8_t* rgb, const QSize& picture,
                                          const QSize& canvas);
};
