#pragma once

#include "converter/ImageLibrary.h"

// The picture library over the system's own codecs (WIC) on Windows: JPEG, PNG, GIF, TIFF and
// BMP, and WebP, HEIF and AVIF where the system has their codecs; PCX and TGA (and a BMP the
// system's codec cannot read) by our own readers. Only the first frame is read. Decoding waits
// until save knows the final size and part; the picture is then decoded once into memory at
// 24 bits, turned upright by its orientation tag, alpha flattened onto black, and resampled
// with the system's Fant scaler. Only the part kept is resampled.
class WicImageLibrary : public ImageLibrary {
public:
    ImageObject* initImageObject(int picture) override;
    int getNumBits(ImageObject* image) override;
    bool changeImageFormat(ImageObject* image, int bits) override;
    int getWidth(ImageObject* image) override;
    int getHeight(ImageObject* image) override;
    bool stretch(ImageObject* image, int width, int height) override;
    bool crop(ImageObject* image, const QRect& part) override;
    bool place(ImageObject* image, const QSize& canvas, const QPoint& at,
               const Backdrop& backdrop) override;
    bool save(ImageObject* image, int bitmap) override;
    void deleteImageObject(ImageObject* image) override;
    std::string lastError() const override;

    // Starts COM and the codecs' factory on this thread, once per process; false when they
    // are not there.
    static bool start();
};
