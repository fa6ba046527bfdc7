#pragma once

#include "converter/ImageLibrary.h"

// The picture library over libvips. libvips reads JPEG, PNG, GIF, TIFF, WebP and HEIF (its
// loaders fit for untrusted input; no other libvips loader is used); BMP, PCX and TGA are read
// by our own readers. Decoding waits until save knows the final size and part, so a large
// JPEG is shrunk while it is decoded instead of being held whole and only the part kept is
// resampled. Truncated pictures fail. Output is always 24-bit sRGB, with colour profiles and
// orientation tags applied and alpha flattened onto black.
class VipsImageLibrary : public ImageLibrary {
public:
    // Initialises libvips once per process, with its operation cache off.
    VipsImageLibrary();

    ImageObject* initImageObject(int picture) override;
    int getNumBits(ImageObject* image) override;
    bool changeImageFormat(ImageObject* image, int bits) override;
    int getWidth(ImageObject* image) override;
    int getHeight(ImageObject* image) override;
    bool stretch(ImageObject* image, int width, int height) override;
    bool crop(ImageObject* image, const QRect& part) override;
    // By libvips' attention measure (edges, skin tones, saturated colour).
    bool cropInteresting(ImageObject* image, const QRect& middle) override;
    bool place(ImageObject* image, const QSize& canvas, const QPoint& at,
               const Backdrop& backdrop) override;
    bool save(ImageObject* image, int bitmap) override;
    void deleteImageObject(ImageObject* image) override;
    std::string lastError() const override;

    // False when libvips could not be initialised; every picture then gives no result.
    static bool available();
    // Initialises libvips for a process that converts one picture and ends: few threads, and
    // none of libvips' optional loader modules (loading them costs more than most conversions)
    // but the HEIF one when `heif`. Before any other use of the library.
    static bool startForOnePicture(bool heif);
    // Whether the first bytes of a file are those of a HEIF or AVIF picture.
    static bool looksLikeHeif(const unsigned char* head, std::size_t size);
};
