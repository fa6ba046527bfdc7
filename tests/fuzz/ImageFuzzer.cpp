// Any bytes as a picture: our own readers never crash, never read outside the input and
// never describe more pixels than they allocated; the whole conversion (libvips included)
// gives a valid bitmap or no result. Run with tests/fuzz/dict/image.dict.
#include "converter/BmpReader.h"
#include "converter/ImageConversion.h"
#include "converter/PcxReader.h"
#include "converter/TgaReader.h"
#include "converter/VipsImageLibrary.h"
#include "tests/fuzz/ReaderCheck.h"

#include <cstdlib>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    checkReader(&BmpReader::read, bytes);
    checkReader(&PcxReader::read, bytes);
    checkReader(&TgaReader::read, bytes);

    // The converter program's conversion, in this process so that the sanitizers watch it.
    static VipsImageLibrary library;
    static const ImageConversion conversion(library);
    const int in = ::memfd_create("in.pic", MFD_CLOEXEC);
    const int out = ::memfd_create("OUT.BMP", MFD_CLOEXEC);
    if (in < 0 || out < 0 || ::write(in, data, size) != static_cast<ssize_t>(size))
        std::abort();
    ScreenArea screen;
    screen.screen = QSize(320, 200);
    screen.workArea = QRect(0, 0, 320, 180);
    // Every layout, so that pictures larger than the screen are also cut to it.
    const bool written = !conversion.convert(in, out, static_cast<int>(size % 8), screen);
    if (written) {
        unsigned char header[54] = {};
        if (::pread(out, header, sizeof header, 0) != 54 || header[0] != 'B' || header[1] != 'M' ||
            header[28] != 24 || header[14] != 40)
            std::abort();
    }
    ::close(in);
    ::close(out);
    return 0;
}
