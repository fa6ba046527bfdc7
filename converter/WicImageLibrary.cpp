#include "converter/WicImageLibrary.h"

#include "bitmap/BitmapWriter.h"
#include "converter/BlurredBackdrop.h"
#include "converter/BmpReader.h"
#include "converter/DecodedPicture.h"
#include "converter/ExifOrientation.h"
#include "converter/PcxReader.h"
#include "converter/SystemImageLibrary.h"
#include "converter/TgaReader.h"

#include <windows.h>

#include <io.h>
#include <wincodec.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

// The file is read whole into memory, where the codecs read it.
constexpr std::int64_t kMaxFileBytes = std::int64_t{512} << 20;
// The longest side libvips takes: the same pictures are refused on every system.
constexpr std::int64_t kMaxSide = 10000000;
// A GIF's codes of at most 12 bits each stand for at most 4096 pixels: a file this much
// smaller than the canvas it claims is a bomb.
constexpr std::int64_t kMaxGifPixelsPerByte = 4096;
// Rows are decoded in strips of about this size.
constexpr std::size_t kStripBytes = 1 << 20;

// Containers whose codecs come with the system (WebP and HEIF only where installed); any other
// codec that may be installed (camera raw formats and the like) is not trusted.
constexpr GUID kContainerWebp = {
    0xe094b0e2, 0x67f2, 0x45b3, {0xb0, 0xea, 0x11, 0x53, 0x37, 0xca, 0x7c, 0xf3}};
constexpr GUID kContainerHeif = {
    0xe1e62521, 0x6787, 0x405b, {0xa3, 0x39, 0x50, 0x07, 0x15, 0xb5, 0x76, 0x3f}};

thread_local std::string t_lastError;

bool fail(std::string reason) {
    t_lastError = std::move(reason);
    return false;
}

std::string withCode(const char* what, HRESULT result) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lx", static_cast<unsigned long>(result));
    return std::string(what) + " (" + code + ')';
}

// Holds one reference to a COM object.
template <typename T> class Com {
public:
    Com() = default;
    ~Com() { reset(); }
    Com(const Com&) = delete;
    Com& operator=(const Com&) = delete;
    T* get() const { return m_object; }
    T* operator->() const { return m_object; }
    T** put() {
        reset();
        return &m_object;
    }
    void reset() {
        if (m_object)
            m_object->Release();
        m_object = nullptr;
    }

private:
    T* m_object = nullptr;
};

IWICImagingFactory*& factory() {
    static IWICImagingFactory* instance = nullptr;
    return instance;
}

class WicPicture : public ImageObject {
public:
    std::vector<std::uint8_t> file; // what the stream reads
    Com<IWICStream> stream;
    Com<IWICBitmapDecoder> decoder;
    Com<IWICBitmapFrameDecode> frame; // none for our own readers
    DecodedPicture decoded;           // pixels of our own readers
    int orientation = 1;              // as tagged: 1 upright, 5 to 8 turned a quarter
    int width = 0;                    // as shown, upright
    int height = 0;
    int bits = 0;
    int targetWidth = 0;
    int targetHeight = 0;
    QRect part; // of the stretched picture; empty: all of it
    QSize canvas;
    QPoint at;
    ImageLibrary::Backdrop backdrop;
};

WicPicture* picture(ImageObject* image) {
    return dynamic_cast<WicPicture*>(image);
}

bool withinLimits(std::int64_t width, std::int64_t height) {
    return width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide &&
           width * height <= kMaxPicturePixels;
}

bool readWhole(int fd, std::vector<std::uint8_t>& bytes) {
    const std::int64_t size = ::_filelengthi64(fd);
    if (size < 0 || ::_lseeki64(fd, 0, SEEK_SET) != 0)
        return fail("cannot read the file");
    if (size > kMaxFileBytes)
        return fail("file too large");
    bytes.resize(static_cast<std::size_t>(size));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const unsigned chunk =
            static_cast<unsigned>(std::min<std::size_t>(bytes.size() - done, INT_MAX));
        const int n = ::_read(fd, bytes.data() + done, chunk);
        if (n <= 0)
            return fail("cannot read the file");
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Whether the file starts as a JPEG, PNG, GIF, TIFF, BMP, WebP, HEIF or AVIF file does: only
// those reach the system's codecs, which would otherwise try every codec installed.
bool looksLikeSystemFormat(const std::vector<std::uint8_t>& file) {
    if (file.size() < 12)
        return false;
    auto startsWith = [&file](std::string_view magic, std::size_t at = 0) {
        return std::memcmp(file.data() + at, magic.data(), magic.size()) == 0;
    };
    using namespace std::string_view_literals;
    bool heif = false;
    if (startsWith("ftyp"sv, 4))
        for (const char* brand : {"heic", "heix", "hevc", "hevx", "heim", "heis", "hevm", "hevs",
                                  "mif1", "msf1", "avif", "avis"})
            heif = heif || startsWith(brand, 8);
    return heif || startsWith("\xFF\xD8\xFF"sv) || startsWith("\x89PNG\r\n\x1A\n"sv) ||
           startsWith("GIF87a"sv) || startsWith("GIF89a"sv) || startsWith("II*\0"sv) ||
           startsWith("MM\0*"sv) || startsWith("BM"sv) ||
           (startsWith("RIFF"sv) && startsWith("WEBP"sv, 8));
}

bool trustedContainer(const GUID& container) {
    for (const GUID& trusted :
         {GUID_ContainerFormatJpeg, GUID_ContainerFormatPng, GUID_ContainerFormatGif,
          GUID_ContainerFormatTiff, GUID_ContainerFormatBmp, kContainerWebp, kContainerHeif})
        if (IsEqualGUID(container, trusted))
            return true;
    return false;
}

int bitsOf(IWICBitmapFrameDecode* frame) {
    WICPixelFormatGUID format{};
    Com<IWICComponentInfo> component;
    Com<IWICPixelFormatInfo> info;
    UINT bits = 0;
    if (FAILED(frame->GetPixelFormat(&format)) ||
        FAILED(factory()->CreateComponentInfo(format, component.put())) ||
        FAILED(component->QueryInterface(IID_IWICPixelFormatInfo,
                                         reinterpret_cast<void**>(info.put()))) ||
        FAILED(info->GetBitsPerPixel(&bits)))
        return 32;
    return static_cast<int>(bits);
}

bool readWithSystemCodec(WicPicture& p) {
    IWICImagingFactory* codecs = factory();
    if (FAILED(codecs->CreateStream(p.stream.put())) ||
        FAILED(p.stream->InitializeFromMemory(p.file.data(), static_cast<DWORD>(p.file.size()))))
        return fail("cannot read the file");
    const HRESULT found = codecs->CreateDecoderFromStream(
        p.stream.get(), nullptr, WICDecodeMetadataCacheOnDemand, p.decoder.put());
    if (found == WINCODEC_ERR_COMPONENTNOTFOUND)
        return fail("the system has no codec for this format");
    if (FAILED(found))
        return fail(withCode("damaged or unreadable picture", found));
    GUID container{};
    if (FAILED(p.decoder->GetContainerFormat(&container)) || !trustedContainer(container))
        return fail("not a picture format this program reads");
    UINT width = 0, height = 0;
    if (FAILED(p.decoder->GetFrame(0, p.frame.put())) || FAILED(p.frame->GetSize(&width, &height)))
        return fail("damaged or unreadable picture");
    if (!withinLimits(width, height))
        return fail(std::to_string(width) + " x " + std::to_string(height) +
                    " pixels is over the limit");
    if (IsEqualGUID(container, GUID_ContainerFormatGif) &&
        std::int64_t{width} * height >
            static_cast<std::int64_t>(p.file.size()) * kMaxGifPixelsPerByte)
        return fail("a GIF of " + std::to_string(width) + " x " + std::to_string(height) +
                    " pixels cannot be this small");
    p.bits = bitsOf(p.frame.get());
    // Read from the file: not every system's codecs give the Exif orientation.
    if (IsEqualGUID(container, GUID_ContainerFormatJpeg) ||
        IsEqualGUID(container, GUID_ContainerFormatTiff))
        p.orientation = ExifOrientation::of(p.file);
    const bool turned = p.orientation >= 5;
    p.width = static_cast<int>(turned ? height : width);
    p.height = static_cast<int>(turned ? width : height);
    return true;
}

bool readOwnFormat(WicPicture& p) {
    const std::span<const std::uint8_t> bytes(p.file);
    using Reader = bool (*)(std::span<const std::uint8_t>, DecodedPicture&);
    Reader reader = nullptr;
    const char* format = "";
    if (BmpReader::canRead(bytes))
        reader = &BmpReader::read, format = "BMP";
    else if (PcxReader::canRead(bytes))
        reader = &PcxReader::read, format = "PCX";
    else if (TgaReader::canRead(bytes))
        reader = &TgaReader::read, format = "TGA";
    if (!reader) // keep the codec's reason when it knew the format but could not read it
        return t_lastError.empty() ? fail("not a picture format this program reads") : false;
    if (!reader(bytes, p.decoded))
        return fail(std::string("damaged, truncated or too large ") + format + " picture");
    p.file = {};
    p.width = p.decoded.width;
    p.height = p.decoded.height;
    p.bits = p.decoded.bitsPerPixel;
    return true;
}

// The pixels of `p` as stored (before any turn), into `bitmap` (24-bit BGR): decoded whole
// into memory first, as the codecs' own resampling of a partly decoded frame is not safe on
// every system (one fails on one-bit palette PNGs read from an odd column).
bool fillStored(WicPicture& p, IWICBitmap* bitmap, UINT width, UINT height) {
    const WICRect whole{0, 0, static_cast<INT>(width), static_cast<INT>(height)};
    Com<IWICBitmapLock> lock;
    UINT stride = 0, size = 0;
    BYTE* out = nullptr;
    if (FAILED(bitmap->Lock(&whole, WICBitmapLockWrite, lock.put())) ||
        FAILED(lock->GetStride(&stride)) || FAILED(lock->GetDataPointer(&size, &out)))
        return fail("out of memory");
    if (!p.frame.get()) { // our own readers' pixels, alpha flattened onto black
        const DecodedPicture& d = p.decoded;
        for (int y = 0; y < d.height; ++y) {
            const std::uint8_t* in = d.pixels.data() + d.rowBytes() * static_cast<std::size_t>(y);
            BYTE* row = out + static_cast<std::size_t>(stride) * y;
            for (int x = 0; x < d.width; ++x, in += d.bands)
                for (int c = 0; c < 3; ++c)
                    row[x * 3 + c] = d.bands == 4
                                         ? static_cast<BYTE>((in[2 - c] * in[3] + 127) / 255)
                                         : in[2 - c];
        }
        return true;
    }
    // Premultiplied alpha: the colour as if over black.
    Com<IWICFormatConverter> converter;
    HRESULT result = factory()->CreateFormatConverter(converter.put());
    if (SUCCEEDED(result))
        result = converter->Initialize(p.frame.get(), GUID_WICPixelFormat32bppPBGRA,
                                       WICBitmapDitherTypeNone, nullptr, 0.0,
                                       WICBitmapPaletteTypeCustom);
    const std::size_t rowBytes = std::size_t{width} * 4;
    const UINT rows = static_cast<UINT>(std::max<std::size_t>(1, kStripBytes / rowBytes));
    std::vector<BYTE> strip(rowBytes * std::min(rows, height));
    for (UINT top = 0; SUCCEEDED(result) && top < height; top += rows) {
        const UINT count = std::min(rows, height - top);
        const WICRect area{0, static_cast<INT>(top), static_cast<INT>(width),
                           static_cast<INT>(count)};
        result = converter->CopyPixels(&area, static_cast<UINT>(rowBytes),
                                       static_cast<UINT>(rowBytes * count), strip.data());
        for (UINT y = 0; SUCCEEDED(result) && y < count; ++y) {
            const BYTE* in = strip.data() + rowBytes * y;
            BYTE* row = out + static_cast<std::size_t>(stride) * (top + y);
            for (UINT x = 0; x < width; ++x)
                std::memcpy(row + x * 3, in + x * 4, 3);
        }
    }
    return SUCCEEDED(result) || fail(withCode("cannot decode it", result));
}

// Where the pixel (x, y) of a picture shown upright at width x height lies in the picture as
// stored, for an Exif orientation.
QPoint storedPixel(int x, int y, int width, int height, int orientation) {
    switch (orientation) {
    case 2:
        return {width - 1 - x, y};
    case 3:
        return {width - 1 - x, height - 1 - y};
    case 4:
        return {x, height - 1 - y};
    case 5:
        return {y, x};
    case 6:
        return {y, width - 1 - x};
    case 7:
        return {height - 1 - y, width - 1 - x};
    case 8:
        return {height - 1 - y, x};
    default:
        return {x, y};
    }
}

// The part of the picture stretched, upright, as R, G, B triples.
bool resampledPart(WicPicture& p, const QRect& part, std::vector<std::uint8_t>& rgb) {
    const bool turned = p.orientation >= 5;
    const UINT storedWidth = static_cast<UINT>(turned ? p.height : p.width);
    const UINT storedHeight = static_cast<UINT>(turned ? p.width : p.height);
    Com<IWICBitmap> stored;
    if (FAILED(factory()->CreateBitmap(storedWidth, storedHeight, GUID_WICPixelFormat24bppBGR,
                                       WICBitmapCacheOnLoad, stored.put())))
        return fail("out of memory");
    if (!fillStored(p, stored.get(), storedWidth, storedHeight))
        return false;
    p.decoded = {};
    const int w = p.targetWidth, h = p.targetHeight, o = p.orientation;
    const QPoint a = storedPixel(part.left(), part.top(), w, h, o);
    const QPoint b = storedPixel(part.right(), part.bottom(), w, h, o);
    // QRect's own arithmetic is not inline, and this program links no Qt.
    const QRect area(QPoint(std::min(a.x(), b.x()), std::min(a.y(), b.y())),
                     QPoint(std::max(a.x(), b.x()), std::max(a.y(), b.y())));
    Com<IWICBitmapScaler> scaler;
    IWICBitmapSource* source = stored.get();
    const UINT width = static_cast<UINT>(turned ? h : w),
               height = static_cast<UINT>(turned ? w : h);
    HRESULT result = S_OK;
    if (width != storedWidth || height != storedHeight) {
        result = factory()->CreateBitmapScaler(scaler.put());
        if (SUCCEEDED(result))
            result =
                scaler->Initialize(stored.get(), width, height, WICBitmapInterpolationModeFant);
        source = scaler.get();
    }
    const WICRect copied{area.x(), area.y(), area.width(), area.height()};
    std::vector<BYTE> bgr(static_cast<std::size_t>(area.width()) * area.height() * 3);
    if (SUCCEEDED(result))
        result = source->CopyPixels(&copied, static_cast<UINT>(area.width()) * 3,
                                    static_cast<UINT>(bgr.size()), bgr.data());
    if (FAILED(result))
        return fail(withCode("cannot resample it", result));
    rgb.resize(static_cast<std::size_t>(part.width()) * part.height() * 3);
    std::uint8_t* out = rgb.data();
    for (int y = part.top(); y <= part.bottom(); ++y)
        for (int x = part.left(); x <= part.right(); ++x, out += 3) {
            const QPoint s = storedPixel(x, y, w, h, o) - area.topLeft();
            const BYTE* in =
                bgr.data() + (static_cast<std::size_t>(s.y()) * area.width() + s.x()) * 3;
            out[0] = in[2], out[1] = in[1], out[2] = in[0];
        }
    return true;
}

// The part put on its canvas at `at` (clipped to it), the rest the backdrop.
std::vector<std::uint8_t> onCanvas(const std::vector<std::uint8_t>& rgb, const QSize& part,
                                   const QSize& canvas, const QPoint& at,
                                   const ImageLibrary::Backdrop& backdrop) {
    const QRect placed(QPoint(std::max(at.x(), 0), std::max(at.y(), 0)),
                       QPoint(std::min(at.x() + part.width(), canvas.width()) - 1,
                              std::min(at.y() + part.height(), canvas.height()) - 1));
    std::vector<std::uint8_t> out;
    if (backdrop.blurred && !placed.isEmpty() && placed.size() != canvas) {
        out = BlurredBackdrop::make(rgb.data(), part, canvas);
    } else {
        out.resize(static_cast<std::size_t>(canvas.width()) * canvas.height() * 3);
        const std::uint8_t colour[3] = {static_cast<std::uint8_t>(backdrop.colour >> 16),
                                        static_cast<std::uint8_t>(backdrop.colour >> 8),
                                        static_cast<std::uint8_t>(backdrop.colour)};
        for (std::size_t i = 0; i < out.size(); ++i)
            out[i] = colour[i % 3];
    }
    for (int y = placed.top(); y <= placed.bottom(); ++y)
        std::memcpy(
            out.data() + (static_cast<std::size_t>(y) * canvas.width() + placed.x()) * 3,
            rgb.data() +
                (static_cast<std::size_t>(y - at.y()) * part.width() + (placed.x() - at.x())) * 3,
            static_cast<std::size_t>(placed.width()) * 3);
    return out;
}

} // namespace

bool WicImageLibrary::start() {
    if (factory())
        return true;
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (FAILED(com) && com != RPC_E_CHANGED_MODE)
        return fail(withCode("cannot start COM", com));
    void* made = nullptr;
    const HRESULT result = ::CoCreateInstance(CLSID_WICImagingFactory, nullptr,
                                              CLSCTX_INPROC_SERVER, IID_IWICImagingFactory, &made);
    if (FAILED(result))
        return fail(withCode("the system has no picture codecs", result));
    factory() = static_cast<IWICImagingFactory*>(made);
    return true;
}

ImageObject* WicImageLibrary::initImageObject(int fd) {
    t_lastError.clear();
    if (!start())
        return nullptr;
    try {
        auto p = std::make_unique<WicPicture>();
        if (!readWhole(fd, p->file))
            return nullptr;
        const bool system = looksLikeSystemFormat(p->file);
        const bool bmp = p->file.size() >= 2 && p->file[0] == 'B' && p->file[1] == 'M';
        bool read = system && readWithSystemCodec(*p);
        // A BMP the system's codec cannot read (run-length coding, bit fields) is ours to try.
        if (!read && (!system || bmp)) {
            p->frame.reset();
            read = readOwnFormat(*p);
        }
        if (!read)
            return nullptr;
        p->targetWidth = p->width;
        p->targetHeight = p->height;
        return p.release();
    } catch (...) {
        fail("out of memory");
        return nullptr;
    }
}

int WicImageLibrary::getNumBits(ImageObject* image) {
    const WicPicture* p = picture(image);
    return p ? p->bits : 0;
}

bool WicImageLibrary::changeImageFormat(ImageObject* image, int bits) {
    // Every picture becomes 24-bit when it is saved.
    WicPicture* p = picture(image);
    if (!p || bits != 24)
        return false;
    p->bits = 24;
    return true;
}

int WicImageLibrary::getWidth(ImageObject* image) {
    const WicPicture* p = picture(image);
    return p ? p->width : 0;
}

int WicImageLibrary::getHeight(ImageObject* image) {
    const WicPicture* p = picture(image);
    return p ? p->height : 0;
}

bool WicImageLibrary::stretch(ImageObject* image, int width, int height) {
    WicPicture* p = picture(image);
    if (!p || !withinLimits(width, height))
        return fail("size outside the limits");
    p->targetWidth = width;
    p->targetHeight = height;
    p->part = {};
    p->canvas = {};
    return true;
}

bool WicImageLibrary::crop(ImageObject* image, const QRect& part) {
    WicPicture* p = picture(image);
    if (!p || part.isEmpty() || part.left() < 0 || part.top() < 0 ||
        part.right() >= p->targetWidth || part.bottom() >= p->targetHeight)
        return fail("part outside the picture");
    p->part = part;
    return true;
}

bool WicImageLibrary::place(ImageObject* image, const QSize& canvas, const QPoint& at,
                            const Backdrop& backdrop) {
    WicPicture* p = picture(image);
    if (!p || !withinLimits(canvas.width(), canvas.height()))
        return fail("canvas outside the limits");
    p->canvas = canvas;
    p->at = at;
    p->backdrop = backdrop;
    return true;
}

bool WicImageLibrary::save(ImageObject* image, int bitmap) {
    WicPicture* p = picture(image);
    if (!p)
        return false;
    try {
        const QRect part =
            p->part.isEmpty() ? QRect(0, 0, p->targetWidth, p->targetHeight) : p->part;
        std::vector<std::uint8_t> rgb;
        if (!resampledPart(*p, part, rgb))
            return false;
        if (!p->canvas.isEmpty())
            rgb = onCanvas(rgb, part.size(), p->canvas, p->at, p->backdrop);
        const QSize size = p->canvas.isEmpty() ? part.size() : p->canvas;
        return BitmapWriter::write(bitmap, size.width(), size.height(), rgb) ||
               fail("cannot write the file");
    } catch (...) {
        return fail("out of memory");
    }
}

std::string WicImageLibrary::lastError() const {
    return t_lastError;
}

void WicImageLibrary::deleteImageObject(ImageObject* image) {
    delete image;
}

bool SystemImageLibrary::start(const unsigned char*, std::size_t) {
    return WicImageLibrary::start();
}

std::unique_ptr<ImageLibrary> SystemImageLibrary::make() {
    return std::make_unique<WicImageLibrary>();
}
