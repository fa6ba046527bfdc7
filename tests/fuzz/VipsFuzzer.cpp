// Any bytes as a picture for the converter's whole conversion, libvips included (JPEG, PNG,
// GIF, TIFF, WebP, HEIF, AVIF; BMP, PCX and TGA through our own readers): it gives a valid
// bitmap of at most the screen's size, or a reason. libvips is started once, as the converter
// program starts it, and the conversion runs in this process so that the sanitizers watch it.
// Pictures whose header claims more than kMaxPixels only have their header read: decoding
// costs time in proportion to the pixels, and a few such inputs would take most of the run
// (the limits on larger pictures are tested in tests/converter). Run with
// tests/fuzz/dict/vips.dict.
#include <vips/vips.h>

#include "converter/ImageConversion.h"
#include "converter/VipsImageLibrary.h"

#include <cstdlib>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace {

constexpr std::int64_t kMaxPixels = 1 << 16;

// The files of the conversion, made once: an input is written over the last one.
int memoryFile(const char* name) {
    const int fd = ::memfd_create(name, MFD_CLOEXEC);
    if (fd < 0)
        std::abort();
    return fd;
}

std::uint32_t get32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool started = [] {
        if (!VipsImageLibrary::startForOnePicture(true))
            std::abort();
        // One thread computes: a picture of the screen's size gains nothing from more, and
        // every thread of libvips' takes its own buffers.
        vips_concurrency_set(1);
        return true;
    }();
    static VipsImageLibrary library;
    static const ImageConversion conversion(library);
    static const int in = memoryFile("in.pic");
    static const int out = memoryFile("OUT.BMP");
    (void)started;
    if (::ftruncate(in, 0) != 0 || ::ftruncate(out, 0) != 0 ||
        ::pwrite(in, data, size, 0) != static_cast<ssize_t>(size) || ::lseek(out, 0, SEEK_SET) != 0)
        std::abort();
    if (ImageObject* image = library.initImageObject(in)) {
        const std::int64_t pixels =
            std::int64_t{library.getWidth(image)} * library.getHeight(image);
        library.deleteImageObject(image);
        if (pixels > kMaxPixels)
            return 0;
    }
    // A small screen keeps resampling cheap; every layout, so that pictures larger than the
    // screen are also cut to it.
    ScreenArea screen;
    screen.screen = QSize(48, 32);
    screen.workArea = QRect(0, 0, 48, 28);
    if (conversion.convert(in, out, static_cast<int>(size % 8), screen))
        return 0;
    unsigned char header[54] = {};
    if (::pread(out, header, sizeof header, 0) != 54 || header[0] != 'B' || header[1] != 'M' ||
        header[28] != 24 || header[14] != 40)
        std::abort();
    const auto width = static_cast<std::int32_t>(get32(header + 18));
    const auto height = static_cast<std::int32_t>(get32(header + 22));
    if (width < 1 || height < 1 || width > screen.screen.width() ||
        height > screen.screen.height() ||
        ::lseek(out, 0, SEEK_END) != 54 + static_cast<off_t>((width * 3 + 3) & ~3) * height)
        std::abort();
    return 0;
}
