#pragma once

// First of all: glib uses `signals` as a name, which any Qt header defines as a keyword.
#include <vips/vips8>

#include "converter/ImageLibrary.h"

#include <QPoint>
#include <QRect>
#include <QSize>
#include <string>

// Writes a picture resampled by libvips as the bitmap a layout asks for: the part kept of it,
// on its canvas if it has one. libvips makes the bitmap in strips from the top, on its threads,
// and each strip goes straight into its place in the file: only a few strips are held, and a
// sequential decoder reads its picture once. libvips computes only what is asked for, so the
// columns beside a part kept are never resampled and a decoder stops below it.
class VipsBitmapWriter {
public:
    struct Layout {
        QRect part;               // of the stretched picture; empty: all of it
        bool interesting = false; // a part of part's size, placed by attention
        QSize canvas;             // empty: the part alone
        QPoint at;                // the part's top left corner on the canvas
        ImageLibrary::Backdrop backdrop;
    };

    // `stretched` has three 8-bit bands. False with the reason in `error`.
    static bool write(const vips::VImage& stretched, const Layout& layout, int file,
                      std::string* error);
};
