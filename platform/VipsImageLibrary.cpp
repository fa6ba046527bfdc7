// First of all: glib uses `signals` as a name, which any Qt header defines as a keyword.
#include <vips/vips8>

#include "platform/VipsImageLibrary.h"

#include "platform/BitmapWriter.h"
#include "platform/BmpReader.h"
#include "platform/DecodedPicture.h"
#include "platform/PcxReader.h"
#include "platform/TgaReader.h"

#include <QFile>
#include <QFileInfo>
#include <memory>
#include <string_view>

#ifdef __GLIBC__
#include <malloc.h>
#endif

using vips::VImage;
using vips::VSource;

namespace {

// Our own readers hold the file and the decoded picture in memory: the largest 32-bit picture
// within the pixel limit, plus headers and a palette.
constexpr qint64 kMaxOwnFormatFileBytes = kMaxPicturePixels * 4 + (1 << 20);
constexpr qsizetype kSniffBytes = 128;

class VipsPicture : public ImageObject {
public:
    QByteArray localPath;
    bool readByVips = false;
    bool hasProfile = false; // an embedded colour profile
    DecodedPicture decoded;  // pixels of our own readers; empty when libvips reads the file
    int width = 0;           // as shown, after any orientation tag
    int height = 0;
    int bits = 0;
    int targetWidth = 0;
    int targetHeight = 0;
};

VipsPicture* picture(ImageObject* image) {
    return dynamic_cast<VipsPicture*>(image);
}

bool withinLimits(std::int64_t width, std::int64_t height) {
    return width > 0 && height > 0 && width <= VIPS_MAX_COORD && height <= VIPS_MAX_COORD &&
           width * height <= kMaxPicturePixels;
}

bool readOwnFormat(const QByteArray& localPath, VipsPicture& out) {
    QFile file(QFile::decodeName(localPath));
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxOwnFormatFileBytes)
        return false;
    const QByteArray head = file.peek(kSniffBytes);
    auto span = [](const QByteArray& bytes) {
        return std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                             static_cast<std::size_t>(bytes.size()));
    };
    using Reader = bool (*)(std::span<const std::uint8_t>, DecodedPicture&);
    Reader reader = nullptr;
    if (BmpReader::canRead(span(head)))
        reader = &BmpReader::read;
    else if (PcxReader::canRead(span(head)))
        reader = &PcxReader::read;
    else if (TgaReader::canRead(span(head)))
        reader = &TgaReader::read;
    if (!reader)
        return false;
    const QByteArray bytes = file.readAll();
    if (bytes.size() != file.size())
        return false;
    if (!reader(span(bytes), out.decoded))
        return false;
    out.width = out.decoded.width;
    out.height = out.decoded.height;
    out.bits = out.decoded.bitsPerPixel;
    return true;
}

bool trustedLoader(const char* name) {
    static constexpr const char* kTrusted[] = {"VipsForeignLoadJpeg",  "VipsForeignLoadPng",
                                               "VipsForeignLoadNsgif", "VipsForeignLoadTiff",
                                               "VipsForeignLoadWebp",  "VipsForeignLoadHeif"};
    const std::string_view loader(name);
    for (const char* trusted : kTrusted)
        if (loader.starts_with(trusted))
            return true;
    return false;
}

bool readVipsHeader(const QByteArray& localPath, VipsPicture& out) {
    VSource source = VSource::new_from_file(localPath.constData());
    // Only loaders of picture formats that are fuzzed for hostile input are used; the rest
    // (ImageMagick, text matrices, raw data, PDF, SVG, ...) would take almost any file for a
    // picture. Checked here rather than blocked process-wide: other code in the program may
    // use those loaders on files it wrote itself.
    const char* loader = vips_foreign_find_load_source(source.get_source());
    if (!loader || !trustedLoader(loader))
        return false;
    const VImage header = VImage::new_from_source(
        source, "", VImage::option()->set("access", VIPS_ACCESS_SEQUENTIAL));
    if (!withinLimits(header.width(), header.height()))
        return false;
    out.readByVips = true;
    out.hasProfile = header.get_typeof(VIPS_META_ICC_NAME) != 0;
    out.bits = header.bands() * static_cast<int>(vips_format_sizeof(header.format())) * 8;
    out.width = header.width();
    out.height = header.height();
    if (vips_image_get_orientation_swap(header.get_image()))
        std::swap(out.width, out.height);
    return true;
}

// Whatever the picture held (grey, palette, 16 bits, CMYK, alpha), three 8-bit sRGB bands.
VImage toRgb24(VImage image) {
    if (image.interpretation() != VIPS_INTERPRETATION_sRGB || image.format() != VIPS_FORMAT_UCHAR) {
        try {
            image = image.colourspace(VIPS_INTERPRETATION_sRGB);
        } catch (const vips::VError&) {
            // An interpretation with no route to sRGB: take the bands as they are.
            vips_error_clear();
        }
    }
    if (image.has_alpha())
        image = image.flatten(VImage::option()->set("background", std::vector<double>{0.0}));
    if (image.bands() > 3)
        image = image.extract_band(0, VImage::option()->set("n", 3));
    else if (image.bands() == 2)
        image = image.extract_band(0);
    if (image.bands() == 1)
        image = image.bandjoin({image, image});
    if (image.format() != VIPS_FORMAT_UCHAR)
        image = image.cast(VIPS_FORMAT_UCHAR);
    return image;
}

VImage resample(VipsPicture& p) {
    auto options = [&p] {
        return VImage::option()->set("height", p.targetHeight)->set("size", VIPS_SIZE_FORCE);
    };
    if (p.readByVips) {
        VSource source = VSource::new_from_file(p.localPath.constData());
        // A truncated or damaged picture fails instead of showing grey where data is missing.
        // thumbnail_source does not pass its own fail_on to the loader, so it goes as a
        // loader option.
        auto* vipsOptions = options()
                                ->set("fail_on", VIPS_FAIL_ON_TRUNCATED)
                                ->set("option_string", "fail_on=truncated");
        // An embedded profile is honoured: the picture is brought into sRGB through it.
        // Pictures without one are taken as sRGB already (a fallback transform would shift
        // their colours).
        if (p.hasProfile)
            vipsOptions->set("export_profile", "srgb");
        return VImage::thumbnail_source(source, p.targetWidth, vipsOptions);
    }
    DecodedPicture& d = p.decoded;
    const VImage in = VImage::new_from_memory(d.pixels.data(), d.pixels.size(), d.width, d.height,
                                              d.bands, VIPS_FORMAT_UCHAR);
    return in.thumbnail_image(p.targetWidth, options());
}

} // namespace

VipsImageLibrary::VipsImageLibrary() {
    available();
}

bool VipsImageLibrary::available() {
    static const bool initialised = [] {
        if (vips_init("tessaron") != 0)
            return false;
        // Nothing is converted twice: a cache would only keep memory.
        vips_cache_set_max(0);
        vips_cache_set_max_mem(0);
        vips_cache_set_max_files(0);
        // The program logs nothing; a damaged picture's details are of no use to anyone.
        g_log_set_handler(
            "VIPS", GLogLevelFlags(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_MESSAGE),
            [](const gchar*, GLogLevelFlags, const gchar*, gpointer) {}, nullptr);
        return true;
    }();
    return initialised;
}

ImageObject* VipsImageLibrary::initImageObject(const QString& picturePath) {
    if (!available())
        return nullptr;
    const QFileInfo info(picturePath);
    if (!info.isFile() || !info.isReadable())
        return nullptr;
    try {
        auto p = std::make_unique<VipsPicture>();
        p->localPath = QFile::encodeName(picturePath);
        bool read = false;
        try {
            read = readVipsHeader(p->localPath, *p);
        } catch (const vips::VError&) {
            read = false;
        }
        vips_error_clear();
        if (!read && !p->readByVips)
            read = readOwnFormat(p->localPath, *p);
        if (!read)
            return nullptr;
        p->targetWidth = p->width;
        p->targetHeight = p->height;
        return p.release();
    } catch (...) {
        vips_error_clear();
        return nullptr;
    }
}

int VipsImageLibrary::getNumBits(ImageObject* image) {
    const VipsPicture* p = picture(image);
    return p ? p->bits : 0;
}

bool VipsImageLibrary::changeImageFormat(ImageObject* image, int bits) {
    // The conversion itself happens when the picture is saved, where every picture becomes
    // 24-bit sRGB anyway.
    VipsPicture* p = picture(image);
    if (!p || bits != 24)
        return false;
    p->bits = 24;
    return true;
}

int VipsImageLibrary::getWidth(ImageObject* image) {
    const VipsPicture* p = picture(image);
    return p ? p->width : 0;
}

int VipsImageLibrary::getHeight(ImageObject* image) {
    const VipsPicture* p = picture(image);
    return p ? p->height : 0;
}

bool VipsImageLibrary::stretch(ImageObject* image, int width, int height) {
    VipsPicture* p = picture(image);
    if (!p || !withinLimits(width, height))
        return false;
    p->targetWidth = width;
    p->targetHeight = height;
    return true;
}

bool VipsImageLibrary::save(ImageObject* image, const QString& bitmapPath) {
    VipsPicture* p = picture(image);
    if (!p)
        return false;
    try {
        const VImage out = toRgb24(resample(*p));
        if (out.width() != p->targetWidth || out.height() != p->targetHeight || out.bands() != 3)
            return false;
        std::size_t size = 0;
        std::unique_ptr<void, decltype(&g_free)> memory(out.write_to_memory(&size), &g_free);
        if (!memory || size != static_cast<std::size_t>(out.width()) * out.height() * 3)
            return false;
        return BitmapWriter::write(
            bitmapPath, out.width(), out.height(),
            std::span<const std::uint8_t>(static_cast<const std::uint8_t*>(memory.get()), size));
    } catch (...) {
        vips_error_clear();
        return false;
    }
}

void VipsImageLibrary::deleteImageObject(ImageObject* image) {
    delete image;
    vips_error_clear();
    // Buffers libvips keeps for this thread, and heap pages glibc would keep for the process.
    vips_thread_shutdown();
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}
