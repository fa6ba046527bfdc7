#pragma once

#include "platform/ImageLibrary.h"

// The picture library over libvips. libvips reads JPEG, PNG, GIF, TIFF, WebP and HEIF (its
// loaders fit for untrusted input; no other libvips loader is used); BMP, PCX and TGA are read
// by our own readers. Decoding waits until save knows the final size and part, so a large
// JPEG is shrunk while it is decoded instead of being held whole and only the part kept is
// resampled. Truncated pictures fail. Output is always 24-bit sRGB, with
// colour profiles and orientation tags applied and alpha flattened onto black.
class VipsImageLibrary : public ImageLibrary {
public:
    // Initialises libvips once per process, with its operation cache off.
    VipsImageLibrary();

    ImageObject* initImageObject(const QString& picturePath) override;
    int getNumBits(ImageObject* image) override;
    bool changeImageFormat(ImageObject* image, int bits) override;
    int getWidth(ImageObject* image) override;
    int getHeight(ImageObject* image) override;
    bool stretch(ImageObject* image, int width, int height) override;
    bool crop(ImageObject* image, const QRect& part) override;
    bool save(ImageObject* image, const QString& bitmapPath) override;
    // Also hands the memory of the conversion back, so a resident program does not grow.
    void deleteImageObject(ImageObject* image) override;
    QString lastError() const override;

    // False when libvips could not be initialised; every picture then gives no result.
    static bool available();
};
