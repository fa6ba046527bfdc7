#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <cstdint>
#include <string>

// One picture loaded by an ImageLibrary. Owned by whoever called initImageObject until it is
// handed back to deleteImageObject.
class ImageObject {
public:
    virtual ~ImageObject() = default;
};

// The picture library that the conversion drives: load, inspect, convert to 24 bits, resample
// and save as a bitmap. An interface so that the conversion's arithmetic can be checked against
// a recording fake. Files come as open descriptors: the converter opens them before its sandbox
// closes the file system. Implementations never throw; a picture that cannot be read gives
// nullptr.
class ImageLibrary {
public:
    virtual ~ImageLibrary() = default;

    // Reads the picture in the open file `picture` (which stays the caller's); nullptr when it
    // is not a picture this library reads (or is too large to read).
    virtual ImageObject* initImageObject(int picture) = 0;
    virtual int getNumBits(ImageObject* image) = 0;
    // Afterwards the image has `bits` bits per pixel (only 24 is supported).
    virtual bool changeImageFormat(ImageObject* image, int bits) = 0;
    // The size as the picture is shown (upright, after any orientation tag).
    virtual int getWidth(ImageObject* image) = 0;
    virtual int getHeight(ImageObject* image) = 0;
    // Resamples to exactly width x height pixels.
    virtual bool stretch(ImageObject* image, int width, int height) = 0;
    // Keeps only `part` of the picture as stretched: save then writes that part alone, and
    // never holds the picture whole at the stretched size.
    virtual bool crop(ImageObject* image, const QRect& part) = 0;
    // Keeps a part of the picture as stretched of the size of `middle` (its middle part), the
    // one most worth keeping (faces, subjects). A library that cannot tell keeps `middle`.
    virtual bool cropInteresting(ImageObject* image, const QRect& middle) {
        return crop(image, middle);
    }

    // What lies around a picture on a canvas larger than it.
    struct Backdrop {
        std::uint32_t colour = 0; // 0xRRGGBB
        // A copy of the picture filled to the canvas (cut to it, centred), blurred and a little
        // darker, instead of the colour. It may be made from a small copy and enlarged.
        bool blurred = false;
    };
    // Puts the picture (as stretched and cropped) on a canvas of `canvas` pixels with its top
    // left corner at `at`, which may lie off the canvas (what falls beyond it is dropped), the
    // rest of the canvas being `backdrop`. Save then writes the canvas.
    virtual bool place(ImageObject* image, const QSize& canvas, const QPoint& at,
                       const Backdrop& backdrop) = 0;
    // Writes an uncompressed 24-bit bitmap into `bitmap`, an open and empty file. On failure
    // the file holds nothing usable and the caller removes it.
    virtual bool save(ImageObject* image, int bitmap) = 0;
    virtual void deleteImageObject(ImageObject* image) = 0;
    // Why the last call on this thread that failed did so, in a few words.
    virtual std::string lastError() const = 0;
};
