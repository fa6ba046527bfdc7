// First of all: glib uses `signals` as a name, which any Qt header defines as a keyword.
#include <vips/vips8>

#include <gmodule.h>

#include "converter/VipsImageLibrary.h"

#include "bitmap/BitmapWriter.h"
#include "converter/BmpReader.h"
#include "converter/DecodedPicture.h"
#include "converter/PcxReader.h"
#include "converter/SystemImageLibrary.h"
#include "converter/TgaReader.h"
#include "converter/VipsBitmapWriter.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <memory>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#ifdef __GLIBC__
#include <malloc.h>
#endif

using vips::VImage;
using vips::VSource;

namespace {

// Our own readers hold the file and the decoded picture in memory: the largest 32-bit picture
// within the pixel limit, plus headers and a palette.
constexpr std::int64_t kMaxOwnFormatFileBytes = kMaxPicturePixels * 4 + (1 << 20);
constexpr std::size_t kSniffBytes = 128;
// A process that converts one picture needs few threads; each costs memory and address space.
constexpr int kMaxThreads = 4;
// A GIF's codes of at most 12 bits each stand for at most 4096 pixels, and its decoder holds
// the whole canvas: a file this much smaller than the canvas it claims is a bomb.
constexpr std::int64_t kMaxGifPixelsPerByte = 4096;
// A progressive JPEG is decoded into a buffer of every coefficient of the picture (two bytes a
// sample), whatever size it is shown at: a small file may claim gigabytes of them.
constexpr double kMaxProgressiveJpegBytes = 512.0 * (1 << 20);

// Why the last failing call on this thread failed (see lastError).
thread_local std::string t_lastError;

bool fail(std::string reason) {
    t_lastError = std::move(reason);
    return false;
}

// A libvips error as one line.
std::string vipsMessage(const char* what) {
    std::string text;
    for (const char* c = what; *c; ++c) {
        if (*c == '\n')
            text += "; ";
        else if (static_cast<unsigned char>(*c) >= ' ')
            text += *c;
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == ';'))
        text.pop_back();
    return text.empty() ? "libvips failed" : text;
}

// The whole of the open file `fd`, read from its start.
bool readWhole(int fd, std::int64_t size, std::vector<std::uint8_t>& bytes) {
    bytes.resize(static_cast<std::size_t>(size));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::pread(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::int64_t fileSize(int fd) {
    struct stat info {};
    return ::fstat(fd, &info) == 0 ? static_cast<std::int64_t>(info.st_size) : -1;
}

// A libvips source reading the open file `fd` from its start. libvips reads through a copy of
// the descriptor, which shares the file position.
VSource sourceOf(int fd) {
    ::lseek(fd, 0, SEEK_SET);
    return VSource::new_from_descriptor(fd);
}

class VipsPicture : public ImageObject {
public:
    int fd = -1;
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
    VipsBitmapWriter::Layout layout; // what save writes of the stretched picture
};

VipsPicture* picture(ImageObject* image) {
    return dynamic_cast<VipsPicture*>(image);
}

bool withinLimits(std::int64_t width, std::int64_t height) {
    return width > 0 && height > 0 && width <= VIPS_MAX_COORD && height <= VIPS_MAX_COORD &&
           width * height <= kMaxPicturePixels;
}

bool readOwnFormat(int fd, VipsPicture& out) {
    std::uint8_t head[kSniffBytes];
    const ssize_t headSize = ::pread(fd, head, sizeof head, 0);
    if (headSize < 0)
        return fail("cannot read the file");
    const auto span = std::span<const std::uint8_t>(head, static_cast<std::size_t>(headSize));
    using Reader = bool (*)(std::span<const std::uint8_t>, DecodedPicture&);
    Reader reader = nullptr;
    const char* format = "";
    if (BmpReader::canRead(span))
        reader = &BmpReader::read, format = "BMP";
    else if (PcxReader::canRead(span))
        reader = &PcxReader::read, format = "PCX";
    else if (TgaReader::canRead(span))
        reader = &TgaReader::read, format = "TGA";
    if (!reader) // keep libvips' reason when it knew the format but could not read it
        return t_lastError.empty() ? fail("not a picture format this program reads") : false;
    const std::int64_t size = fileSize(fd);
    if (size > kMaxOwnFormatFileBytes)
        return fail(std::string(format) + " file too large");
    std::vector<std::uint8_t> bytes;
    if (size < 0 || !readWhole(fd, size, bytes))
        return fail("cannot read the file");
    if (!reader(bytes, out.decoded))
        return fail(std::string("damaged, truncated or too large ") + format + " picture");
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

// Whether the file starts as a JPEG, PNG, GIF, TIFF, WebP, HEIF or AVIF file does. Anything
// else never reaches libvips: to find its loader libvips asks every loader it has, and some
// read a whole file looking for the end of a first line.
bool looksLikeVipsFormat(int fd) {
    unsigned char head[16] = {};
    const ssize_t size = ::pread(fd, head, sizeof head, 0);
    if (size < 12)
        return false;
    auto startsWith = [&head](std::string_view magic, std::size_t at = 0) {
        return std::memcmp(head + at, magic.data(), magic.size()) == 0;
    };
    using namespace std::string_view_literals;
    return startsWith("\xFF\xD8\xFF"sv) || startsWith("\x89PNG\r\n\x1A\n"sv) ||
           startsWith("GIF87a"sv) || startsWith("GIF89a"sv) || startsWith("II*\0"sv) ||
           startsWith("MM\0*"sv) || startsWith("II+\0"sv) || startsWith("MM\0+"sv) ||
           (startsWith("RIFF"sv) && startsWith("WEBP"sv, 8)) ||
           VipsImageLibrary::looksLikeHeif(head, static_cast<std::size_t>(size));
}

bool readVipsHeader(int fd, VipsPicture& out) {
    if (!looksLikeVipsFormat(fd))
        return false;
    VSource source = sourceOf(fd);
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
        return fail(std::to_string(header.width()) + " x " + std::to_string(header.height()) +
                    " pixels is over the limit");
    if (std::string_view(loader).starts_with("VipsForeignLoadNsgif") &&
        std::int64_t{header.width()} * header.height() > fileSize(fd) * kMaxGifPixelsPerByte)
        return fail("a GIF of " + std::to_string(header.width()) + " x " +
                    std::to_string(header.height()) + " pixels cannot be this small");
    out.jpeg = std::string_view(loader).starts_with("VipsForeignLoadJpeg");
    if (out.jpeg && header.get_typeof("jpeg-multiscan") != 0 && header.get_int("jpeg-multiscan")) {
        const bool subsampled =
            header.get_typeof("jpeg-chroma-subsample") != 0 &&
            std::string_view(header.get_string("jpeg-chroma-subsample")) == "4:2:0";
        const double samples = static_cast<double>(header.width()) * header.height() *
                               (1.0 + (header.bands() - 1) * (subsampled ? 0.25 : 1.0));
        if (samples * 2 > kMaxProgressiveJpegBytes)
            return fail("a progressive JPEG of " + std::to_string(header.width()) + " x " +
                        std::to_string(header.height()) + " pixels needs too much memory");
    }
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
    const int width = p.targetWidth;
    auto options = [&p] {
        return VImage::option()->set("height", p.targetHeight)->set("size", VIPS_SIZE_FORCE);
    };
    VImage out;
    if (p.readByVips) {
        VSource source = sourceOf(p.fd);
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
                      .thumbnail_image(width, vipsOptions);
        } else {
            // thumbnail_source does not pass its own fail_on to the loader, so it goes as a
            // loader option too.
            vipsOptions->set("option_string", failOnOption);
            out = VImage::thumbnail_source(source, width, vipsOptions);
        }
    } else {
        DecodedPicture& d = p.decoded;
        const VImage in = VImage::new_from_memory(d.pixels.data(), d.pixels.size(), d.width,
                                                  d.height, d.bands, VIPS_FORMAT_UCHAR);
        out = in.thumbnail_image(width, options());
    }
    return out;
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
        // The reason of a failure is reported; a damaged picture's details are of no use.
        g_log_set_handler(
            "VIPS", GLogLevelFlags(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_MESSAGE),
            [](const gchar*, GLogLevelFlags, const gchar*, gpointer) {}, nullptr);
        return true;
    }();
    return initialised;
}

bool VipsImageLibrary::startForOnePicture(bool heif) {
    // libvips loads its modules from under VIPSHOME when that is set: a folder that holds
    // none keeps them all out.
    ::setenv("VIPSHOME", "/nonexistent", 1);
#ifdef __GLIBC__
    // Every thread's own malloc arena reserves 64 MB of address space.
    mallopt(M_ARENA_MAX, 2);
#endif
    if (!available())
        return false;
    vips_concurrency_set(static_cast<int>(
        std::clamp(std::thread::hardware_concurrency(), 1U, unsigned{kMaxThreads})));
    if (!heif)
        return true;
    // The HEIF module lies beside libvips itself.
    Dl_info library{};
    if (::dladdr(reinterpret_cast<void*>(&vips_init), &library) == 0 || !library.dli_fname)
        return fail("cannot find libvips' modules");
    std::string folder = library.dli_fname;
    folder.erase(folder.find_last_of('/') + 1);
    const std::string module = folder + "vips-modules-" + std::to_string(vips_version(0)) + '.' +
                               std::to_string(vips_version(1)) + "/vips-heif.so";
    GModule* loaded = g_module_open(module.c_str(), G_MODULE_BIND_LAZY);
    if (!loaded)
        return fail("cannot load libvips' HEIF module");
    g_module_make_resident(loaded);
    return true;
}

bool VipsImageLibrary::looksLikeHeif(const unsigned char* head, std::size_t size) {
    // An ISO media file whose major brand is one of the HEIF or AVIF brands libvips knows.
    if (size < 12 || std::memcmp(head + 4, "ftyp", 4) != 0)
        return false;
    for (const char* brand : {"heic", "heix", "hevc", "hevx", "heim", "heis", "hevm", "hevs",
                              "mif1", "msf1", "avif", "avis"})
        if (std::memcmp(head + 8, brand, 4) == 0)
            return true;
    return false;
}

ImageObject* VipsImageLibrary::initImageObject(int picture) {
    t_lastError.clear();
    if (!available()) {
        fail("libvips could not be initialised");
        return nullptr;
    }
    try {
        auto p = std::make_unique<VipsPicture>();
        p->fd = picture;
        bool read = false;
        try {
            read = readVipsHeader(picture, *p);
        } catch (const vips::VError& e) {
            read = fail(vipsMessage(e.what()));
        }
        vips_error_clear();
        if (!read && !p->readByVips)
            read = readOwnFormat(picture, *p);
        if (!read)
            return nullptr;
        p->targetWidth = p->width;
        p->targetHeight = p->height;
        return p.release();
    } catch (...) {
        vips_error_clear();
        fail("out of memory");
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
        return fail("size outside the limits");
    p->targetWidth = width;
    p->targetHeight = height;
    p->layout = {};
    return true;
}

bool VipsImageLibrary::crop(ImageObject* image, const QRect& part) {
    VipsPicture* p = picture(image);
    if (!p || part.isEmpty() || part.left() < 0 || part.top() < 0 ||
        part.right() >= p->targetWidth || part.bottom() >= p->targetHeight)
        return fail("part outside the picture");
    p->layout.part = part;
    p->layout.interesting = false;
    return true;
}

bool VipsImageLibrary::cropInteresting(ImageObject* image, const QRect& middle) {
    if (!crop(image, middle))
        return false;
    picture(image)->layout.interesting = true;
    return true;
}

bool VipsImageLibrary::place(ImageObject* image, const QSize& canvas, const QPoint& at,
                             const Backdrop& backdrop) {
    VipsPicture* p = picture(image);
    if (!p || !withinLimits(canvas.width(), canvas.height()))
        return fail("canvas outside the limits");
    p->layout.canvas = canvas;
    p->layout.at = at;
    p->layout.backdrop = backdrop;
    return true;
}

bool VipsImageLibrary::save(ImageObject* image, int bitmap) {
    VipsPicture* p = picture(image);
    if (!p)
        return false;
    try {
        const VImage out = toRgb24(resample(*p));
        if (out.width() != p->targetWidth || out.height() != p->targetHeight || out.bands() != 3)
            return fail("resampled to a wrong size");
        std::string error;
        return VipsBitmapWriter::write(out, p->layout, bitmap, &error) ||
               fail(vipsMessage(error.c_str()));
    } catch (const vips::VError& e) {
        vips_error_clear();
        return fail(vipsMessage(e.what()));
    } catch (...) {
        vips_error_clear();
        return fail("out of memory");
    }
}

std::string VipsImageLibrary::lastError() const {
    return t_lastError;
}

void VipsImageLibrary::deleteImageObject(ImageObject* image) {
    delete image;
    vips_error_clear();
}

bool SystemImageLibrary::start(const unsigned char* head, std::size_t size) {
    // Whatever the libraries would log: the one line the converter program writes says it all.
    g_log_set_default_handler([](const gchar*, GLogLevelFlags, const gchar*, gpointer) {}, nullptr);
    g_log_set_writer_func(
        [](GLogLevelFlags, const GLogField*, gsize, gpointer) { return G_LOG_WRITER_HANDLED; },
        nullptr, nullptr);
    return VipsImageLibrary::startForOnePicture(VipsImageLibrary::looksLikeHeif(head, size));
}

std::unique_ptr<ImageLibrary> SystemImageLibrary::make() {
    return std::make_unique<VipsImageLibrary>();
}
