#include "converter/VipsImageLibrary.h"
#include "platform/linux/LinuxConverterProcess.h"
#include "tests/converter/ImageTestFiles.h"
#include "wallpaper/PictureConverter.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <fcntl.h>
#include <unistd.h>

namespace {

std::uint32_t crc32(const QByteArray& bytes) {
    std::uint32_t crc = 0xFFFFFFFF;
    for (char c : bytes) {
        crc ^= std::uint8_t(c);
        for (int k = 0; k < 8; ++k)
            crc = crc & 1 ? (crc >> 1) ^ 0xEDB88320 : crc >> 1;
    }
    return ~crc;
}

QByteArray bigEndian(std::uint32_t v) {
    const char bytes[] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    return QByteArray(bytes, 4);
}

QByteArray pngChunk(const char* type, const QByteArray& data) {
    const QByteArray body = QByteArray(type) + data;
    return bigEndian(data.size()) + body + bigEndian(crc32(body));
}

// A well-formed PNG whose header claims width x height over a few bytes of zeros.
QByteArray pngClaiming(std::uint32_t width, std::uint32_t height) {
    QByteArray header = bigEndian(width) + bigEndian(height);
    header.append(char(8)).append(char(2)).append(3, char(0));
    const QByteArray zlib = qCompress(QByteArray(4096, 0)).mid(4); // drop Qt's size prefix
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", header) + pngChunk("IDAT", zlib) +
           pngChunk("IEND", {});
}

void setLe16(QByteArray& b, int at, int v) {
    b[at] = char(v & 0xFF);
    b[at + 1] = char(v >> 8);
}

void setLe32(QByteArray& b, int at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = char(v >> (8 * i));
}

class VipsImageHostileInputTest : public ::testing::Test {
protected:
    QString path(const QString& name) const { return m_dir.filePath(name); }

    // The conversion gives no result and leaves no bitmap behind.
    void expectNoResult(const QString& picture, int layout = 2) {
        SCOPED_TRACE(picture.toStdString());
        ScreenMetrics screen;
        const QString out = path("OUT.BMP");
        QFile::remove(out);
        EXPECT_FALSE(m_converter.ConvertPicture(picture, out, layout, screen));
        EXPECT_FALSE(QFile::exists(out));
        const QStringList left = QDir(m_dir.path()).entryList({"OUT*"}, QDir::Files);
        EXPECT_TRUE(left.isEmpty()) << left.join(' ').toStdString();
    }

    void expectNoResult(const QString& name, const QByteArray& bytes, int layout = 2) {
        ASSERT_TRUE(writeBytes(path(name), bytes));
        expectNoResult(path(name), layout);
    }

    static QByteArray readBytes(const QString& name) {
        QFile file(name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir m_dir;
    VipsImageLibrary m_library;
    // Every picture goes through the converter program, as in the program.
    LinuxConverterProcess m_process{QStringLiteral(TESSARON_CONVERTER)};
    PictureConverter m_converter{m_process};
};

} // namespace

TEST_F(VipsImageHostileInputTest, TruncatedPicturesGiveNoResult) {
    const TestPicture q = quadrants(64, 48);
    ASSERT_TRUE(saveWithVips(q, path("whole.jpg")));
    ASSERT_TRUE(saveWithVips(q, path("whole.png")));
    for (const char* name : {"whole.jpg", "whole.png"}) {
        const QByteArray bytes = readBytes(path(name));
        expectNoResult(QStringLiteral("cut-") + name, bytes.left(bytes.size() / 2));
    }
    // A whole file whose frame header claims 16384 x 16384: its decoder only warns when the
    // data runs out and would fill the rest with grey. In every layout.
    QByteArray claims = readBytes(path("whole.jpg"));
    const qsizetype frame = claims.indexOf("\xFF\xC0");
    ASSERT_GT(frame, 0);
    claims.replace(frame + 5, 4, QByteArray("\x40\x00\x40\x00", 4));
    for (int layout : {0, 1, 2, 3})
        expectNoResult(QStringLiteral("claims%1.jpg").arg(layout), claims, layout);
    for (const auto& [name, bytes] : std::initializer_list<std::pair<const char*, QByteArray>>{
             {"cut.bmp", bmpFile(q, 24)},
             {"cut-rle.bmp", bmpFile(q, 8, false, true)},
             {"cut.pcx", pcxFile(q, 24)},
             {"cut.tga", tgaFile(q, 24, false, false)},
             {"cut-rle.tga", tgaFile(q, 24, true, false)}}) {
        expectNoResult(name, bytes.left(bytes.size() - 40));
    }
}

TEST_F(VipsImageHostileInputTest, FilesThatAreNoPictureGiveNoResult) {
    expectNoResult("empty.jpg", {});
    expectNoResult("text.jpg", "Just some words, not a picture at all.\n");
    expectNoResult("matrix.jpg", "2 2\n1 2\n3 4\n"); // a format only untrusted loaders read
    expectNoResult("svg.jpg", "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"9\" "
                              "height=\"9\"></svg>");
    expectNoResult(path("missing.jpg"));
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("folder.jpg"));
    expectNoResult(path("folder.jpg"));

    if (geteuid() != 0) { // the superuser reads anything
        ASSERT_TRUE(saveWithVips(quadrants(8, 8), path("locked.png")));
        QFile::setPermissions(path("locked.png"), QFileDevice::WriteOwner);
        expectNoResult(path("locked.png"));
    }
}

TEST_F(VipsImageHostileInputTest, ZeroAndGiganticDimensionsGiveNoResult) {
    const TestPicture q = quadrants(8, 8);
    QByteArray bmp = bmpFile(q, 24);
    setLe32(bmp, 18, 0);
    expectNoResult("zero.bmp", bmp);
    setLe32(bmp, 18, 8);
    setLe32(bmp, 22, 0x80000000u); // the most negative height
    expectNoResult("minint.bmp", bmp);
    setLe32(bmp, 18, 100000);
    setLe32(bmp, 22, 100000);
    expectNoResult("huge.bmp", bmp);

    QByteArray tga = tgaFile(q, 24, false, false);
    setLe16(tga, 12, 0);
    expectNoResult("zero.tga", tga);

    QByteArray pcx = pcxFile(q, 24);
    setLe16(pcx, 4, 9); // left edge beyond the right one
    expectNoResult("inverted.pcx", pcx);

    expectNoResult("huge.png", pngClaiming(100000, 100000));
    expectNoResult("wide.png", pngClaiming(0x7FFFFFFF, 1));

    // A picture within the limits cannot be stretched beyond them.
    ASSERT_TRUE(saveWithVips(q, path("small.png")));
    const int small = ::open(QFile::encodeName(path("small.png")).constData(), O_RDONLY);
    ImageObject* image = m_library.initImageObject(small);
    ASSERT_NE(image, nullptr);
    EXPECT_FALSE(m_library.stretch(image, 100000, 100000));
    EXPECT_FALSE(m_library.stretch(image, 0, 10));
    m_library.deleteImageObject(image);
    ::close(small);
}

TEST_F(VipsImageHostileInputTest, DecompressionBombsAreRefusedBeforeDecoding) {
    // Small files whose run-length data would expand to hundreds of megapixels.
    QByteArray rle = bmpFile(quadrants(8, 8), 8, false, true);
    setLe32(rle, 18, 16000);
    setLe32(rle, 22, 16000);
    expectNoResult("bomb.bmp", rle);

    QByteArray pcx = pcxFile(quadrants(8, 8), 8);
    setLe16(pcx, 8, 65535);
    setLe16(pcx, 10, 65535);
    setLe16(pcx, 66, 65536 - 2);
    expectNoResult("bomb.pcx", pcx);

    QByteArray tga(18, 0);
    tga[2] = 10; // run-length true colour
    setLe16(tga, 12, 65535);
    setLe16(tga, 14, 65535);
    tga[16] = 24;
    for (int i = 0; i < 64; ++i) // runs of 128 pixels: far too few for the size claimed
        tga.append(char(0xFF)).append(3, char(0x40));
    expectNoResult("bomb.tga", tga);

    // A 4 KiB file, sparse to a gigabyte, claiming the largest 32-bit bitmap allowed: more
    // than the converter may take.
    QByteArray sparse = bmpFile(quadrants(8, 8), 32);
    setLe32(sparse, 18, 16384);
    setLe32(sparse, 22, 16384);
    ASSERT_TRUE(writeBytes(path("sparse.bmp"), sparse + QByteArray(4096 - sparse.size(), 0)));
    ASSERT_TRUE(QFile(path("sparse.bmp")).resize(qint64{1} << 30));
    if (LinuxConverterProcess::limitsAddressSpace())
        expectNoResult(path("sparse.bmp"));

    // A progressive JPEG holds every coefficient of its picture while it is decoded, whatever
    // the size it is shown at: 16384 x 16384 would take 800 MB.
    ASSERT_TRUE(saveWithVips(quadrants(64, 48), path("progressive.jpg[interlace=true]")));
    QByteArray progressive = readBytes(path("progressive.jpg"));
    const qsizetype frame = progressive.indexOf("\xFF\xC2");
    ASSERT_GT(frame, 0);
    progressive.replace(frame + 5, 4, QByteArray("\x40\x00\x40\x00", 4));
    expectNoResult("progressive-bomb.jpg", progressive);

    // A GIF's decoder holds its whole canvas: a tiny file claiming 16384 x 16384 would take
    // a gigabyte.
    ASSERT_TRUE(saveWithVips(quadrants(8, 8), path("small.gif")));
    QByteArray gif = readBytes(path("small.gif"));
    const qsizetype descriptor = gif.indexOf(',', 13);
    ASSERT_GT(descriptor, 0);
    for (int at : {6, 8, int(descriptor) + 5, int(descriptor) + 7})
        setLe16(gif, at, 16384);
    expectNoResult("bomb.gif", gif);
}

TEST_F(VipsImageHostileInputTest, BitmapEscapesAndMasksCannotReachOutsideThePicture) {
    // A 1 x 1 RLE8 bitmap whose deltas of 255 columns would carry a 32-bit column counter
    // past its largest value, then a one-pixel run and the end mark. Over 33 MB, so made here.
    QByteArray rle = bmpFile(quadrants(1, 1), 8, false, true).left(14 + 40 + 256 * 4);
    const QByteArray delta("\x00\x02\xFF\x00", 4);
    rle.reserve(rle.size() + 8421505 * 4 + 4);
    for (int i = 0; i < 8421505; ++i)
        rle.append(delta);
    rle.append("\x01\x07\x00\x01", 4);
    ASSERT_TRUE(writeBytes(path("deltas.jpg"), rle));
    rle.clear();
    rle.squeeze();
    ScreenMetrics screen;
    ASSERT_TRUE(m_converter.ConvertPicture(path("deltas.jpg"), path("DELTAS.BMP"), 0, screen));
    const BitmapFile bmp = BitmapFile::read(path("DELTAS.BMP"));
    ASSERT_TRUE(bmp.valid);
    EXPECT_EQ(QSize(bmp.width, bmp.height), QSize(1, 1));
    EXPECT_EQ(bmp.at(0, 0), (std::array<std::uint8_t, 3>{0, 0, 0})); // the run fell outside

    // Bit-field masks with a hole between their lowest and highest bit.
    QByteArray holed = bmpFile(quadrants(8, 8), 16);
    setLe32(holed, 14 + 40 + 4, 0x0721);
    expectNoResult("holed.bmp", holed);
}
