#include "platform/VipsImageLibrary.h"
#include "tests/platform/ImageTestFiles.h"
#include "wallpaper/PictureConverter.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
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
    void expectNoResult(const QString& picture) {
        SCOPED_TRACE(picture.toStdString());
        ScreenMetrics screen;
        const QString out = path("OUT.BMP");
        QFile::remove(out);
        EXPECT_FALSE(m_converter.ConvertPicture(picture, out, 2, screen));
        EXPECT_FALSE(QFile::exists(out));
        const QStringList left = QDir(m_dir.path()).entryList({"OUT*"}, QDir::Files);
        EXPECT_TRUE(left.isEmpty()) << left.join(' ').toStdString();
    }

    void expectNoResult(const QString& name, const QByteArray& bytes) {
        ASSERT_TRUE(writeBytes(path(name), bytes));
        expectNoResult(path(name));
    }

    QTemporaryDir m_dir;
    VipsImageLibrary m_library;
    PictureConverter m_converter{m_library};
};

} // namespace

TEST_F(VipsImageHostileInputTest, TruncatedPicturesGiveNoResult) {
    const TestPicture q = quadrants(64, 48);
    ASSERT_TRUE(saveWithVips(q, path("whole.jpg")));
    ASSERT_TRUE(saveWithVips(q, path("whole.png")));
    for (const char* name : {"whole.jpg", "whole.png"}) {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        expectNoResult(QStringLiteral("cut-") + name, bytes.left(bytes.size() / 2));
    }
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
    ImageObject* image = m_library.initImageObject(path("small.png"));
    ASSERT_NE(image, nullptr);
    EXPECT_FALSE(m_library.stretch(image, 100000, 100000));
    EXPECT_FALSE(m_library.stretch(image, 0, 10));
    m_library.deleteImageObject(image);
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
}
