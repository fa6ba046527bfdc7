#pragma once

#include "converter/ImageLibrary.h"

#include <cstddef>
#include <memory>

// The picture library of the converter program on this system: libvips, or the system's own
// codecs where there is no libvips. The build picks the one whose sources it compiles.
class SystemImageLibrary {
public:
    // Initialises the library for a process that converts one picture and ends, before the
    // sandbox is entered; `head` is the picture's first bytes. False when it cannot start.
    static bool start(const unsigned char* head, std::size_t size);
    static std::unique_ptr<ImageLibrary> make();
};
