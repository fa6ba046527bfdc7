// First of all: glib uses `signals` as a name, which any Qt header defines as a keyword.
#include <vips/vips8>

#include "platform/VipsImageLibrary.h"

#include "platform/FileName.h"
#include "platform/RegularFile.h"

#include "platform/BitmapWriter.h"
#include "platform/BmpReader.h"
#include "platform/DecodedPicture.h"
#include "platform/PcxReader.h"
#include "platform/TgaReader.h"

#include <QFile>
#include <QFileInfo>
#include <QRect>
#include <algorithm>
#include <cstring>
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
// A GIF's codes of at most 12 bits each stand for at most 4096 pixels, and its decoder holds
// the whole canvas: a file this much smaller than the canvas it claims is a bomb.
constexpr std::int64_t kMaxGifPixelsPerByte = 4096;

// Why the last failing call on this thread failed (see lastError).
thread_local QString t_lastError;

bool fail(const QString& reason) {
    t_lastError = reason;
    return false;
}

// A libvips error as one line.
QString vipsMessage(const char* what) {
    QString text = QString::fromUtf8(what).trimmed();
    text.replace(QLatin1Char('\n'), QLatin1String("; "));
    return text.isEmpty() ? QStringLiteral("libvips failed") : text;
}

class VipsPicture : public ImageObject {
public:
    QByteArray localPath;
    bool readByVips = false;
    bool jpeg = false;
    bool hasProfile = false; // an embedded colour profile
    int bands = 0;           // as stored, for libvips pictures
    VipsInterpretation interpretation = VIPS_INTERPRETATION_MULTIBAND;
    DecodedPicture decoded; // pixels of our own readers; empty when libvips reads the file
    int width = 0;          // as shown, after any orientation tag
    int height = 0;
    int bits = 0;
    int targetWidth = 0;
    int targetHeight = 0;
    QRect part; // of the stretched picture that save writes; empty: all of it
};

VipsPicture* picture(ImageObject* image) {
    return dynamic_cast<VipsPicture*>(image);
}

bool withinLimits(std::int64_t width, std::int64_t height) {
    return width > 0 && height > 0 && width <= VIPS_MAX_COORD && height <= VIPS_MAX_COORD &&
           width * height <= kMaxPicturePixels;
}

bool readOwnFormat(const QByteArray& localPath, VipsPicture& out) {
    QFile file;
    if (!RegularFile::openForReading(file, FileName::fromNative(localPath)))
        return fail(QStringLiteral("cannot open the file"));
    const QByteArray head = file.peek(kSniffBytes);
    auto span = [](const QByteArray& bytes) {
        return std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                             static_cast<std::size_t>(bytes.size()));
    };
    using Reader = bool (*)(std::span<const std::uint8_t>, DecodedPicture&);
    Reader reader = nullptr;
    const char* format = "";
    if (BmpReader::canRead(span(head)))
        reader = &BmpReader::read, format = "BMP";
    else if (PcxReader::canRead(span(head)))
        reader = &PcxReader::read, format = "PCX";
    else if (TgaReader::canRead(span(head)))
        reader = &TgaReader::read, format = "TGA";
    if (!reader) // keep libvips' reason when it knew the format but could not read it
        return t_lastError.isEmpty()
                   ? fail(QStringLiteral("not a picture format this program reads"))
                   : false;
    if (file.size() > kMaxOwnFormatFileBytes)
        return fail(QStringLiteral("%1 file too large").arg(QLatin1String(format)));
    const QByteArray bytes = file.readAll();
    if (bytes.size() != file.size())
        return fail(QStringLiteral("cannot read the file"));
    if (!reader(span(bytes), out.decoded))
        return fail(QStringLiteral("damaged, truncated or too large %1 picture")
                        .arg(QLatin1String(format)));
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
    out.readByVips = true;
    if (!withinLimits(header.width(), header.height()))
        return fail(QStringLiteral("%1 x %2 pixels is over the limit")
                        .arg(header.width())
                        .arg(header.height()));
    if (std::string_view(loader).starts_with("VipsForeignLoadNsgif") &&
        std::int64_t{header.width()} * header.height() >
            QFileInfo(FileName::fromNative(localPath)).size() * kMaxGifPixelsPerByte)
        return fail(QStringLiteral("a GIF of %1 x %2 pixels cannot be this small")
                        .arg(header.width())
                        .arg(header.height()));
    out.jpeg = std::string_view(loader).starts_with("VipsForeignLoadJpeg");
    out.hasProfile = header.get_typeof(VIPS_META_ICC_NAME) != 0;
    out.bands = header.bands();
    out.interpretation = header.interpretation();
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
        image = VImage::bandjoin({image, image, image});
    if (image.format() != VIPS_FORMAT_UCHAR)
        image = image.cast(VIPS_FORMAT_UCHAR);
    return image;
}

// The bands the final conversion uses: the colour bands of the picture's space and one alpha.
int usedBands(VipsInterpretation interpretation) {
    switch (interpretation) {
    case VIPS_INTERPRETATION_B_W:
    case VIPS_INTERPRETATION_GREY16:
        return 2;
    case VIPS_INTERPRETATION_CMYK:
        return 5;
    default:
        return 4;
    }
}

VImage resample(VipsPicture& p) {
    auto options = [&p] {
        return VImage::option()->set("height", p.targetHeight)->set("size", VIPS_SIZE_FORCE);
    };
    VImage out;
    if (p.readByVips) {
        VSource source = VSource::new_from_file(p.localPath.constData());
        // A truncated or damaged picture fails instead of showing grey where data is missing.
        // A JPEG whose data stops early is only warned about by its decoder (which then fills
        // the rest with grey), so for JPEG any warning fails.
        const VipsFailOn failOn = p.jpeg ? VIPS_FAIL_ON_WARNING : VIPS_FAIL_ON_TRUNCATED;
        const char* failOnOption = p.jpeg ? "fail_on=warning" : "fail_on=truncated";
        auto* vipsOptions = options()->set("fail_on", failOn);
        // An embedded profile is honoured: the picture is brought into sRGB through it.
        // Pictures without one are taken as sRGB already (a fallback transform would shift
        // their colours).
        if (p.hasProfile)
            vipsOptions->set("export_profile", "srgb");
        const int bands = usedBands(p.interpretation);
        if (p.bands > bands) {
            // Extra bands (a TIFF may carry thousands of samples per pixel) are dropped before
            // any resampling. Only formats without shrink-on-load carry them, so nothing is
            // lost by loading the picture first.
            const VImage in = VImage::new_from_source(
                source, "",
                VImage::option()->set("access", VIPS_ACCESS_SEQUENTIAL)->set("fail_on", failOn));
            out = in.extract_band(0, VImage::option()->set("n", bands))
                      .thumbnail_image(p.targetWidth, vipsOptions);
        } else {
            // thumbnail_source does not pass its own fail_on to the loader, so it goes as a
            // loader option too.
            vipsOptions->set("option_string", failOnOption);
            out = VImage::thumbnail_source(source, p.targetWidth, vipsOptions);
        }
    } else {
        DecodedPicture& d = p.decoded;
        const VImage in = VImage::new_from_memory(d.pixels.data(), d.pixels.size(), d.width,
                                                  d.height, d.bands, VIPS_FORMAT_UCHAR);
        out = in.thumbnail_image(p.targetWidth, options());
    }
    return out;
}

// The pixels of `part` of `image`. libvips computes only what is asked for, so the columns
// beside the part are never resampled and a sequential decoder stops below it. The rows are
// asked for from the top in strips: a sequential decoder asked first for rows far down would
// decode everything above them into one buffer.
std::vector<std::uint8_t> readPart(const VImage& image, const QRect& part) {
    constexpr int kStripRows = 64;
    const VImage columns = image.extract_area(part.x(), 0, part.width(), part.bottom() + 1);
    const std::size_t rowBytes = static_cast<std::size_t>(part.width()) * 3;
    std::vector<std::uint8_t> pixels(rowBytes * static_cast<std::size_t>(part.height()));
    const vips::VRegion region = columns.region();
    for (int top = 0; top < columns.height(); top += kStripRows) {
        const int rows = std::min(kStripRows, columns.height() - top);
        region.prepare(0, top, part.width(), rows);
        for (int y = std::max(top, part.y()); y < top + rows; ++y)
            std::memcpy(pixels.data() + rowBytes * static_cast<std::size_t>(y - part.y()),
                        region.addr(0, y), rowBytes);
    }
    return pixels;
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
    t_lastError.clear();
    if (!available()) {
        fail(QStringLiteral("libvips could not be initialised"));
        return nullptr;
    }
    const QFileInfo info(picturePath);
    if (!info.isFile() || !info.isReadable()) {
        fail(info.exists() ? QStringLiteral("not a readable file")
                           : QStringLiteral("no such file"));
        return nullptr;
    }
    try {
        auto p = std::make_unique<VipsPicture>();
        p->localPath = FileName::toNative(picturePath);
        bool read = false;
        try {
            read = readVipsHeader(p->localPath, *p);
        } catch (const vips::VError& e) {
            read = fail(vipsMessage(e.what()));
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
        fail(QStringLiteral("out of memory"));
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
        return fail(QStringLiteral("size outside the limits"));
    p->targetWidth = width;
    p->targetHeight = height;
    p->part = QRect();
    return true;
}

bool VipsImageLibrary::crop(ImageObject* image, const QRect& part) {
    VipsPicture* p = picture(image);
    if (!p || part.isEmpty() || !QRect(0, 0, p->targetWidth, p->targetHeight).contains(part))
        return fail(QStringLiteral("part outside the picture"));
    p->part = part;
    return true;
}

bool VipsImageLibrary::save(ImageObject* image, const QString& bitmapPath) {
    VipsPicture* p = picture(image);
    if (!p)
        return false;
    try {
        const VImage out = toRgb24(resample(*p));
        if (out.width() != p->targetWidth || out.height() != p->targetHeight || out.bands() != 3)
            return fail(QStringLiteral("resampled to a wrong size"));
        if (!p->part.isEmpty()) {
            const std::vector<std::uint8_t> pixels = readPart(out, p->part);
            if (!BitmapWriter::write(bitmapPath, p->part.width(), p->part.height(), pixels))
                return fail(QStringLiteral("cannot write the file"));
            return true;
        }
        std::size_t bytes = 0;
        std::unique_ptr<void, decltype(&g_free)> memory(out.write_to_memory(&bytes), &g_free);
        if (!memory || bytes != static_cast<std::size_t>(out.width()) * out.height() * 3)
            return fail(QStringLiteral("cannot decode the picture"));
        if (!BitmapWriter::write(bitmapPath, out.width(), out.height(),
                                 std::span<const std::uint8_t>(
                                     static_cast<const std::uint8_t*>(memory.get()), bytes)))
            return fail(QStringLiteral("cannot write the file"));
        return true;
    } catch (const vips::VError& e) {
        vips_error_clear();
        return fail(vipsMessage(e.what()));
    } catch (...) {
        vips_error_clear();
        return fail(QStringLiteral("out of memory"));
    }
}

QString VipsImageLibrary::lastError() const {
    return t_lastError;
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
