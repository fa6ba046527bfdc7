// First: glib uses `signals` as a name, which Qt headers define as a keyword.
#include <vips/vips8>

#include "converter/VipsImageLibrary.h"
#include "platform/linux/LinuxConverterProcess.h"
#include "tests/converter/ImageTestFiles.h"
#include "wallpaper/PictureConverter.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <fcntl.h>
#include <functional>
#include <unistd.h>

namespace {

using Colour = std::array<std::uint8_t, 3>;
constexpr Colour kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255}, kWhite{255, 255, 255},
    kBlack{0, 0, 0};

class VipsImageLibraryTest : public ::testing::Test {
protected:
    QString path(const QString& name) const { return m_dir.filePath(name); }

    // The whole call sequence at a chosen size; the bitmap written, or an invalid one.
    BitmapFile convert(const QString& picture, int width = 0, int height = 0, int* bits = nullptr) {
        const QString out = path("out.bmp");
        const int in = ::open(QFile::encodeName(picture).constData(), O_RDONLY | O_CLOEXEC);
        const int bitmap = ::open(QFile::encodeName(out).constData(),
                                  O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        ImageObject* image = in >= 0 ? m_library.initImageObject(in) : nullptr;
        bool ok = image != nullptr;
        if (image) {
            if (bits)
                *bits = m_library.getNumBits(image);
            m_library.changeImageFormat(image, 24);
            m_shown = QSize(m_library.getWidth(image), m_library.getHeight(image));
            ok = m_library.stretch(image, width ? width : m_shown.width(),
                                   height ? height : m_shown.height()) &&
                 m_library.save(image, bitmap);
            m_library.deleteImageObject(image);
        }
        ::close(in);
        ::close(bitmap);
        return ok ? BitmapFile::read(out) : BitmapFile{};
    }

    // Writes `bytes` (or the picture through libvips when empty) and converts at its size.
    void expectQuadrants(const QString& name, const QByteArray& bytes, int expectedBits,
                         int tolerance) {
        SCOPED_TRACE(name.toStdString());
        const TestPicture picture = quadrants(34, 26);
        const QString file = path(name);
        ASSERT_TRUE(bytes.isEmpty() ? saveWithVips(picture, file) : writeBytes(file, bytes));
        int bits = 0;
        const BitmapFile bmp = convert(file.section('[', 0, 0), 0, 0, &bits);
        ASSERT_TRUE(bmp.valid);
        EXPECT_EQ(bits, expectedBits);
        EXPECT_EQ(bmp.infoHeaderSize, 40u);
        EXPECT_EQ(bmp.bitsPerPixel, 24);
        EXPECT_EQ(bmp.compression, 0u);
        EXPECT_EQ(bmp.width, 34);
        EXPECT_EQ(bmp.height, 26);
        EXPECT_TRUE(near(bmp.at(3, 3), kRed, tolerance));
        EXPECT_TRUE(near(bmp.at(30, 3), kGreen, tolerance));
        EXPECT_TRUE(near(bmp.at(3, 22), kBlue, tolerance));
        EXPECT_TRUE(near(bmp.at(30, 22), kWhite, tolerance));
    }

    void expectHalves(const QString& name, const QByteArray& bytes, int expectedBits) {
        SCOPED_TRACE(name.toStdString());
        ASSERT_TRUE(writeBytes(path(name), bytes));
        int bits = 0;
        const BitmapFile bmp = convert(path(name), 0, 0, &bits);
        ASSERT_TRUE(bmp.valid);
        EXPECT_EQ(bits, expectedBits);
        EXPECT_EQ(bmp.width, 33);
        EXPECT_EQ(bmp.height, 9);
        EXPECT_EQ(bmp.at(2, 4), kBlack);
        EXPECT_EQ(bmp.at(30, 4), kWhite);
    }

    QTemporaryDir m_dir;
    VipsImageLibrary m_library;
    QSize m_shown;
};

} // namespace

TEST_F(VipsImageLibraryTest, LibvipsFormatsBecomeUncompressed24BitBitmaps) {
    expectQuadrants("a.jpg[Q=95]", {}, 24, 48);
    expectQuadrants("a.png", {}, 24, 0);
    expectQuadrants("a.gif", {}, 32, 0); // the GIF reader always gives an alpha band
    expectQuadrants("a.tif", {}, 24, 0);
    expectQuadrants("a.webp[lossless=true]", {}, 24, 0);
    // JPEG by its other name, and HEIF and AVIF through the system's HEIF loader.
    expectQuadrants("a.jpeg[Q=95]", {}, 24, 48);
    expectQuadrants("a.heic[compression=hevc,Q=95]", {}, 24, 48);
    expectQuadrants("a.avif[compression=av1,Q=95]", {}, 24, 48);
}

TEST_F(VipsImageLibraryTest, OwnReadersDecodeEveryBitmapLayout) {
    const TestPicture q = quadrants(34, 26);
    expectQuadrants("b4.bmp", bmpFile(q, 4), 4, 0);
    expectQuadrants("b8.bmp", bmpFile(q, 8), 8, 0);
    expectQuadrants("b16.bmp", bmpFile(q, 16), 16, 0);
    expectQuadrants("b24.bmp", bmpFile(q, 24), 24, 0);
    expectQuadrants("b32.bmp", bmpFile(q, 32), 32, 0);
    expectQuadrants("b24top.bmp", bmpFile(q, 24, true), 24, 0);
    expectQuadrants("rle8.bmp", bmpFile(q, 8, false, true), 8, 0);
    expectQuadrants("rle4.bmp", bmpFile(q, 4, false, true), 4, 0);
    expectHalves("b1.bmp", bmpFile(halves(33, 9), 1), 1);
}

TEST_F(VipsImageLibraryTest, OwnReadersDecodePcxAndTgaInEveryVariant) {
    const TestPicture q = quadrants(34, 26);
    expectQuadrants("p8.pcx", pcxFile(q, 8), 8, 0);
    expectQuadrants("p24.pcx", pcxFile(q, 24), 24, 0);
    expectQuadrants("p4.pcx", pcxFile(q, 4), 4, 0);
    expectHalves("p1.pcx", pcxFile(halves(33, 9), 1), 1);

    expectQuadrants("t24.tga", tgaFile(q, 24, false, false), 24, 0);
    expectQuadrants("t24footer.tga", tgaFile(q, 24, false, true), 24, 0);
    expectQuadrants("t32rle.tga", tgaFile(q, 32, true, true), 32, 0);
    expectQuadrants("t24rletop.tga", tgaFile(q, 24, true, false, true), 24, 0);
    expectQuadrants("t8.tga", tgaFile(q, 8, false, false), 8, 0);
    expectQuadrants("t8rle.tga", tgaFile(q, 8, true, true), 8, 0);
    expectHalves("grey.tga", tgaFile(halves(33, 9), 8, true, false, false, true), 8);
}

TEST_F(VipsImageLibraryTest, ContentDecidesTheFormatNotTheExtension) {
    const TestPicture q = quadrants(34, 26);
    ASSERT_TRUE(saveWithVips(q, path("png.png")));
    ASSERT_TRUE(QFile::rename(path("png.png"), path("png.bmp")));
    expectQuadrants("bmp.jpg", bmpFile(q, 24), 24, 0);
    expectQuadrants("tga.pcx", tgaFile(q, 24, true, true), 24, 0);
    EXPECT_TRUE(convert(path("png.bmp")).valid);
}

TEST_F(VipsImageLibraryTest, OrientationTagShowsPhotosUpright) {
    // Stored 40 x 20, left half red and right half blue; tag 6 turns it clockwise for display.
    TestPicture p{40, 20, {}};
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 40; ++x)
            p.rgb.insert(p.rgb.end(), x < 20 ? std::initializer_list<std::uint8_t>{255, 0, 0}
                                             : std::initializer_list<std::uint8_t>{0, 0, 255});
    vips::VImage image =
        vips::VImage::new_from_memory(p.rgb.data(), p.rgb.size(), 40, 20, 3, VIPS_FORMAT_UCHAR)
            .copy();
    image.set("orientation", 6);
    image.jpegsave(QFile::encodeName(path("turned.jpg")).constData());

    const BitmapFile bmp = convert(path("turned.jpg"));
    EXPECT_EQ(m_shown, QSize(20, 40));
    ASSERT_TRUE(bmp.valid);
    EXPECT_EQ(bmp.width, 20);
    EXPECT_EQ(bmp.height, 40);
    EXPECT_TRUE(near(bmp.at(10, 5), kRed, 48));
    EXPECT_TRUE(near(bmp.at(10, 34), kBlue, 48));

    // Stretched to a size given as shown, not as stored.
    const BitmapFile small = convert(path("turned.jpg"), 10, 20);
    ASSERT_TRUE(small.valid);
    EXPECT_EQ(QSize(small.width, small.height), QSize(10, 20));
    EXPECT_TRUE(near(small.at(5, 2), kRed, 48));
}

TEST_F(VipsImageLibraryTest, OnlyTheFirstFrameOfAnimationsAndMultiPageFilesIsShown) {
    // Two 16 x 16 frames stacked: red, then blue.
    TestPicture frames{16, 32, {}};
    for (int i = 0; i < 16 * 32; ++i)
        frames.rgb.insert(frames.rgb.end(), i < 256
                                                ? std::initializer_list<std::uint8_t>{255, 0, 0}
                                                : std::initializer_list<std::uint8_t>{0, 0, 255});
    vips::VImage image = vips::VImage::new_from_memory(frames.rgb.data(), frames.rgb.size(), 16, 32,
                                                       3, VIPS_FORMAT_UCHAR)
                             .copy();
    image.set("page-height", 16);
    for (const char* name : {"anim.gif", "pages.tif"}) {
        SCOPED_TRACE(name);
        image.write_to_file(QFile::encodeName(path(name)).constData());
        const BitmapFile bmp = convert(path(name));
        ASSERT_TRUE(bmp.valid);
        EXPECT_EQ(QSize(bmp.width, bmp.height), QSize(16, 16));
        EXPECT_TRUE(near(bmp.at(8, 8), kRed, 0));
        EXPECT_TRUE(near(bmp.at(8, 15), kRed, 0));
    }
}

TEST_F(VipsImageLibraryTest, DeepGreyAlphaAndCmykPicturesComeOutAsSrgb) {
    using vips::VImage;
    const TestPicture q = quadrants(34, 26);
    const VImage rgb = VImage::new_from_memory(const_cast<std::uint8_t*>(q.rgb.data()),
                                               q.rgb.size(), 34, 26, 3, VIPS_FORMAT_UCHAR);
    // 16 bits per channel.
    (rgb.cast(VIPS_FORMAT_USHORT) * 257)
        .cast(VIPS_FORMAT_USHORT)
        .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_RGB16))
        .pngsave(QFile::encodeName(path("deep.png")).constData());
    int bits = 0;
    BitmapFile bmp = convert(path("deep.png"), 0, 0, &bits);
    EXPECT_EQ(bits, 48);
    ASSERT_TRUE(bmp.valid);
    EXPECT_TRUE(near(bmp.at(3, 3), kRed, 1));
    EXPECT_TRUE(near(bmp.at(30, 22), kWhite, 1));

    // Grey.
    rgb.colourspace(VIPS_INTERPRETATION_B_W)
        .pngsave(QFile::encodeName(path("grey.png")).constData());
    bmp = convert(path("grey.png"), 0, 0, &bits);
    EXPECT_EQ(bits, 8);
    ASSERT_TRUE(bmp.valid);
    EXPECT_EQ(bmp.at(30, 22), kWhite);
    EXPECT_EQ(bmp.at(3, 3)[0], bmp.at(3, 3)[2]); // grey stays grey

    // Alpha: the right half transparent, flattened onto black.
    const VImage alpha = VImage::xyz(34, 26)[0] < 17;
    rgb.bandjoin(alpha).pngsave(QFile::encodeName(path("alpha.png")).constData());
    bmp = convert(path("alpha.png"), 0, 0, &bits);
    EXPECT_EQ(bits, 32);
    ASSERT_TRUE(bmp.valid);
    EXPECT_EQ(bmp.at(3, 3), kRed);
    EXPECT_EQ(bmp.at(30, 22), kBlack);

    // Samples beyond colour and alpha do not count: the first after the colours is the alpha.
    const VImage flat = VImage::black(34, 26);
    VImage::bandjoin({rgb, flat + 255, flat, flat, flat, flat})
        .cast(VIPS_FORMAT_UCHAR)
        .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB))
        .tiffsave(QFile::encodeName(path("extra.tif")).constData());
    bmp = convert(path("extra.tif"), 17, 13, &bits);
    EXPECT_EQ(bits, 64);
    ASSERT_TRUE(bmp.valid);
    EXPECT_TRUE(near(bmp.at(2, 2), kRed, 0));
    EXPECT_TRUE(near(bmp.at(15, 11), kWhite, 0));

    // CMYK with no ink is white paper.
    VImage::black(20, 10, VImage::option()->set("bands", 4))
        .cast(VIPS_FORMAT_UCHAR)
        .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_CMYK))
        .jpegsave(QFile::encodeName(path("cmyk.jpg")).constData());
    bmp = convert(path("cmyk.jpg"), 0, 0, &bits);
    EXPECT_EQ(bits, 32);
    ASSERT_TRUE(bmp.valid);
    EXPECT_TRUE(near(bmp.at(10, 5), kWhite, 12));
}

TEST_F(VipsImageLibraryTest, EmbeddedColourProfileIsHonoured) {
    // Pure sRGB red expressed in the wide-gamut P3 space, with that profile embedded: read
    // without the profile it would come out as a dull red.
    using vips::VImage;
    const VImage red =
        (VImage::black(16, 16, VImage::option()->set("bands", 3)) + std::vector<double>{255, 0, 0})
            .cast(VIPS_FORMAT_UCHAR)
            .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
    const VImage p3 = red.icc_transform("p3", VImage::option()->set("input_profile", "srgb"));
    p3.pngsave(QFile::encodeName(path("p3.png")).constData());
    const auto stored = p3.getpoint(8, 8);
    ASSERT_GT(stored[1], 20.0); // really re-encoded, not already pure red

    const BitmapFile bmp = convert(path("p3.png"));
    ASSERT_TRUE(bmp.valid);
    EXPECT_TRUE(near(bmp.at(8, 8), kRed, 8))
        << int(bmp.at(8, 8)[0]) << ' ' << int(bmp.at(8, 8)[1]) << ' ' << int(bmp.at(8, 8)[2]);
}

TEST_F(VipsImageLibraryTest, ReductionUsesALanczosClassFilter) {
    // A one-pixel checkerboard reduced four times must become an even grey; a filter that
    // picks or poorly averages pixels leaves black and white or a coarse pattern behind.
    TestPicture checker{400, 400, {}};
    for (int y = 0; y < 400; ++y)
        for (int x = 0; x < 400; ++x) {
            const std::uint8_t v = (x + y) % 2 ? 255 : 0;
            checker.rgb.insert(checker.rgb.end(), {v, v, v});
        }
    ASSERT_TRUE(writeBytes(path("checker.bmp"), bmpFile(checker, 24)));
    ASSERT_TRUE(saveWithVips(checker, path("checker.png")));
    for (const char* name : {"checker.bmp", "checker.png"}) {
        SCOPED_TRACE(name);
        const BitmapFile bmp = convert(path(name), 100, 100);
        ASSERT_TRUE(bmp.valid);
        int lowest = 255, highest = 0;
        for (int y = 2; y < 98; ++y)
            for (int x = 2; x < 98; ++x) {
                lowest = std::min<int>(lowest, bmp.at(x, y)[0]);
                highest = std::max<int>(highest, bmp.at(x, y)[0]);
            }
        EXPECT_GE(lowest, 110);
        EXPECT_LE(highest, 146);
    }
}

TEST_F(VipsImageLibraryTest, ConvertPictureWritesTheBitmapForEachLayout) {
    ASSERT_TRUE(saveWithVips(quadrants(1024, 768), path("photo.jpg")));
    LinuxConverterProcess process(QStringLiteral(TESSARON_CONVERTER));
    PictureConverter converter(process);
    ScreenMetrics screen;
    screen.screen = QSize(800, 600);
    screen.workArea = QRect(0, 0, 800, 572);
    // Centered and Tile keep only what the screen shows of the picture stretched to 1023 x 767,
    // pixel for pixel as the whole of it (made on a screen large enough to show all of it).
    ScreenMetrics large;
    large.screen = QSize(2048, 2048);
    large.workArea = QRect(0, 0, 2048, 2048);
    ASSERT_TRUE(converter.ConvertPicture(path("photo.jpg"), path("WHOLE.BMP"), 0, large));
    const BitmapFile whole = BitmapFile::read(path("WHOLE.BMP"));
    ASSERT_EQ(QSize(whole.width, whole.height), QSize(1023, 767));
    const struct {
        int layout;
        QSize size;
        QPoint from; // where the bitmap starts in the whole picture
    } cases[] = {{0, {800, 600}, {111, 83}},
                 {1, {800, 600}, {0, 0}},
                 {2, {800, 600}, {}},
                 {3, {717, 537}, {}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.layout);
        const QString out = path(QStringLiteral("PHOTO%1.BMP").arg(c.layout));
        ASSERT_TRUE(converter.ConvertPicture(path("photo.jpg"), out, c.layout, screen));
        const BitmapFile bmp = BitmapFile::read(out);
        ASSERT_TRUE(bmp.valid);
        ASSERT_EQ(QSize(bmp.width, bmp.height), c.size);
        EXPECT_TRUE(near(bmp.at(c.size.width() - 5, 4), kGreen, 48));
        if (c.layout > 1)
            continue;
        int differing = 0;
        for (int y = 0; y < bmp.height; ++y)
            for (int x = 0; x < bmp.width; ++x)
                differing += bmp.at(x, y) != whole.at(c.from.x() + x, c.from.y() + y);
        EXPECT_EQ(differing, 0);
    }
    // The converter program loads libvips' HEIF support only for a picture that needs it.
    for (const char* name : {"photo.heic", "photo.avif"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(saveWithVips(quadrants(64, 48), path(name)));
        ASSERT_TRUE(converter.ConvertPicture(path(name), path("HEIF.BMP"), 1, large));
        const BitmapFile bmp = BitmapFile::read(path("HEIF.BMP"));
        ASSERT_TRUE(bmp.valid);
        EXPECT_TRUE(near(bmp.at(58, 4), kGreen, 48));
    }
}

namespace {

// Quarters as quadrants() paints them, with a black square of a sixteenth of the size at the
// centre.
TestPicture markedQuadrants(int width, int height) {
    TestPicture p = quadrants(width, height);
    for (int y = height / 2 - height / 32; y < height / 2 + height / 32; ++y)
        for (int x = width / 2 - width / 32; x < width / 2 + width / 32; ++x)
            std::fill_n(p.rgb.begin() + (static_cast<std::ptrdiff_t>(y) * width + x) * 3, 3, 0);
    return p;
}

// Where the whole picture lies on a screen of `screen` for the scale that covers it (fill) or
// fits it, never above 1 when not enlarged: the layouts as a user reads them.
QRectF shownAt(QSizeF picture, QSizeF screen, bool fill, bool neverEnlarge) {
    const double across = screen.width() / picture.width();
    const double down = screen.height() / picture.height();
    double scale = fill ? std::max(across, down) : std::min(across, down);
    if (neverEnlarge)
        scale = std::min(scale, 1.0);
    const QSizeF size = picture * scale;
    return QRectF(
        QPointF((screen.width() - size.width()) / 2, (screen.height() - size.height()) / 2), size);
}

} // namespace

TEST_F(VipsImageLibraryTest, NewLayoutsPlaceThePictureOnTheWholeScreen) {
    LinuxConverterProcess process(QStringLiteral(TESSARON_CONVERTER));
    PictureConverter converter(process);
    const Colour orange{255, 136, 0};
    const struct {
        ImageLayout layout;
        std::uint32_t colour;
        bool neverEnlarge;
        bool fill;      // the picture covers the screen, else it fits it
        bool stretched; // to the screen's size, aspect not kept
        bool blurred;   // a darker blurred copy around it
    } cases[] = {{ImageLayout::Fill, 0, false, true, false, false},
                 {ImageLayout::Stretch, 0, false, false, true, false},
                 {ImageLayout::FitOnBlur, 0, false, false, false, true},
                 {ImageLayout::FitOnDesktop, 0xff8800, false, false, false, false},
                 {ImageLayout::Fill, 0xff8800, true, true, false, false}};
    // A wide and a tall picture, on a full-HD screen and on one at 150%.
    for (const QSize picture : {QSize(1600, 800), QSize(600, 1200)}) {
        const QString file = path(QStringLiteral("q%1.png").arg(picture.width()));
        ASSERT_TRUE(saveWithVips(markedQuadrants(picture.width(), picture.height()), file));
        for (const QSize size : {QSize(1920, 1080), QSize(2880, 1620)}) {
            ScreenMetrics screen;
            screen.screen = size;
            screen.workArea = QRect(QPoint(0, 0), size);
            for (const auto& c : cases) {
                WallpaperLayout layout(static_cast<std::int32_t>(c.layout));
                layout.fitColor = c.colour;
                layout.neverEnlarge = c.neverEnlarge;
                layout.smartCrop = false;
                SCOPED_TRACE(::testing::Message()
                             << layout.layout << " " << picture.width() << " on " << size.width());
                ASSERT_TRUE(converter.ConvertPicture(file, path("L.BMP"), layout, screen));
                const BitmapFile bmp = BitmapFile::read(path("L.BMP"));
                ASSERT_EQ(QSize(bmp.width, bmp.height), size);
                const QRectF shown =
                    c.stretched ? QRectF(QPointF(0, 0), QSizeF(size))
                                : shownAt(QSizeF(picture), QSizeF(size), c.fill, c.neverEnlarge);
                // The mark at the centre, each quarter in its place.
                const QPointF middle = shown.center();
                EXPECT_EQ(bmp.at(int(middle.x()), int(middle.y())), kBlack);
                const double dx = shown.width() / 8, dy = shown.height() / 8;
                EXPECT_TRUE(near(bmp.at(int(middle.x() - dx), int(middle.y() - dy)), kRed, 8));
                EXPECT_TRUE(near(bmp.at(int(middle.x() + dx), int(middle.y() - dy)), kGreen, 8));
                EXPECT_TRUE(near(bmp.at(int(middle.x() - dx), int(middle.y() + dy)), kBlue, 8));
                EXPECT_TRUE(near(bmp.at(int(middle.x() + dx), int(middle.y() + dy)), kWhite, 8));
                // Around the picture: the colour, or the top left quarter darker and blurred.
                if (shown.left() < 4 && shown.top() < 4)
                    continue;
                const Colour corner = bmp.at(1, 1);
                if (c.blurred)
                    EXPECT_TRUE(near(corner, {191, 0, 0}, 40) && corner != kRed);
                else
                    EXPECT_EQ(corner, orange);
            }
        }
    }
}

TEST_F(VipsImageLibraryTest, KeepingTheInterestingPartKeepsASubjectOffCentre) {
    // A dull grey picture, three times as wide as the screen, with one small bright subject
    // far to the left: the middle misses it, the attention measure keeps it.
    TestPicture picture{3000, 1000, std::vector<std::uint8_t>(3000 * 1000 * 3, 128)};
    const Colour skin{240, 170, 120};
    for (int y = 430; y < 570; ++y)
        for (int x = 300; x < 440; ++x)
            std::copy(skin.begin(), skin.end(),
                      picture.rgb.begin() + (static_cast<std::ptrdiff_t>(y) * 3000 + x) * 3);
    ASSERT_TRUE(saveWithVips(picture, path("subject.png")));
    LinuxConverterProcess process(QStringLiteral(TESSARON_CONVERTER));
    PictureConverter converter(process);
    ScreenMetrics screen;
    screen.screen = QSize(1000, 1000);
    screen.workArea = QRect(0, 0, 1000, 1000);
    const auto keepsSubject = [&](bool smart) {
        WallpaperLayout fill(static_cast<std::int32_t>(ImageLayout::Fill));
        fill.smartCrop = smart;
        EXPECT_TRUE(converter.ConvertPicture(path("subject.png"), path("S.BMP"), fill, screen));
        const BitmapFile bmp = BitmapFile::read(path("S.BMP"));
        EXPECT_EQ(QSize(bmp.width, bmp.height), QSize(1000, 1000));
        for (int x = 0; x < bmp.width; x += 10)
            if (near(bmp.at(x, 500), skin, 16))
                return true;
        return false;
    };
    EXPECT_TRUE(keepsSubject(true));
    EXPECT_FALSE(keepsSubject(false));
}
