#pragma once

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <vector>

// An RGB picture made by a test, to be written in any format and compared with what the
// conversion produced.
struct TestPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb; // top row first

    std::array<std::uint8_t, 3> at(int x, int y) const {
        const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 3;
        return {rgb[i], rgb[i + 1], rgb[i + 2]};
    }
};

// Four quarters: red top left, green top right, blue bottom left, white bottom right.
TestPicture quadrants(int width, int height);
// Black left half, white right half (for one-bit formats).
TestPicture halves(int width, int height);

// Tiny writers of the formats that libvips does not write. `bits` picks the layout:
// BMP 1, 4, 8 (palette), 16 (5-6-5 bit fields), 24, 32; RLE for 4 and 8 bits when `rle`.
QByteArray bmpFile(const TestPicture& picture, int bits, bool topDown = false, bool rle = false);
// PCX: 1 (monochrome), 4 (four planes of one bit), 8 (palette at the end), 24 (three planes).
QByteArray pcxFile(const TestPicture& picture, int bits);
// TGA: 8 (colour-mapped), 24, 32 (true colour), or grey when `grey`.
QByteArray tgaFile(const TestPicture& picture, int bits, bool rle, bool footer,
                   bool topDown = false, bool grey = false);

bool writeBytes(const QString& path, const QByteArray& bytes);
// Saves through libvips; the format (and any [options]) follow the path.
bool saveWithVips(const TestPicture& picture, const QString& path);

// The parts of a written bitmap a test checks.
struct BitmapFile {
    bool valid = false;
    std::uint32_t infoHeaderSize = 0;
    int bitsPerPixel = 0;
    std::uint32_t compression = 0;
    int width = 0;
    int height = 0; // positive: bottom row first
    QByteArray bytes;

    static BitmapFile read(const QString& path);
    std::array<std::uint8_t, 3> at(int x, int y) const; // R, G, B; top row is y = 0
};

// Whether two colours differ by at most `tolerance` in every channel.
bool near(const std::array<std::uint8_t, 3>& a, const std::array<std::uint8_t, 3>& b,
          int tolerance);
