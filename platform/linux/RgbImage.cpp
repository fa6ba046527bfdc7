// glib's headers name a member "signals", which Qt defines as a macro: they come first.
#include <vips/vips8>

#include "platform/linux/RgbImage.h"

#include <QFile>

namespace {

bool vipsReady() {
    // vips_init may be called any number of times; it does its work once.
    static const bool ready = VIPS_INIT("tessaron") == 0;
    return ready;
}

} // namespace

std::optional<RgbImage> RgbImage::load(const QString& path) {
    if (!vipsReady())
        return std::nullopt;
    try {
        using vips::VImage;
        VImage image =
            VImage::new_from_file(QFile::encodeName(path).constData(),
                                  VImage::option()->set("access", VIPS_ACCESS_SEQUENTIAL));
        if (image.has_alpha())
            image = image.flatten();
        const VipsInterpretation kind = image.interpretation();
        if (kind == VIPS_INTERPRETATION_CMYK || kind == VIPS_INTERPRETATION_RGB16 ||
            kind == VIPS_INTERPRETATION_GREY16)
            image = image.colourspace(VIPS_INTERPRETATION_sRGB);
        if (image.bands() == 1)
            image = image.bandjoin({image, image});
        if (image.bands() > 3)
            image = image.extract_band(0, VImage::option()->set("n", 3));
        if (image.format() != VIPS_FORMAT_UCHAR)
            image = image.cast(VIPS_FORMAT_UCHAR);

        RgbImage result;
        result.width = image.width();
        result.height = image.height();
        std::size_t size = 0;
        void* memory = image.write_to_memory(&size);
        const auto* bytes = static_cast<const std::uint8_t*>(memory);
        result.pixels.assign(bytes, bytes + size);
        g_free(memory);
        if (result.width <= 0 || result.height <= 0 ||
            result.pixels.size() != static_cast<std::size_t>(result.width) * result.height * 3)
            return std::nullopt;
        return result;
    } catch (const vips::VError&) {
        return std::nullopt;
    }
}

bool RgbImage::save(const QString& path) const {
    if (!vipsReady() || width <= 0 || height <= 0)
        return false;
    try {
        vips::VImage image =
            vips::VImage::new_from_memory(const_cast<std::uint8_t*>(pixels.data()), pixels.size(),
                                          width, height, 3, VIPS_FORMAT_UCHAR);
        image.write_to_file(QFile::encodeName(path).constData());
        return true;
    } catch (const vips::VError&) {
        return false;
    }
}
