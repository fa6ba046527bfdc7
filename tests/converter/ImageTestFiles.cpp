#include "tests/converter/ImageTestFiles.h"

#include <QFile>
#include <algorithm>
#include <cstdlib>
#include <map>

namespace {

void put16(QByteArray& b, int v) {
    b.append(char(v & 0xFF));
    b.append(char((v >> 8) & 0xFF));
}

void put32(QByteArray& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.append(char((v >> (8 * i)) & 0xFF));
}

std::uint32_t key(const std::array<std::uint8_t, 3>& c) {
    return c[0] << 16 | c[1] << 8 | c[2];
}

// The picture's colours as a palette, and each pixel's index into it.
struct Indexed {
    std::vector<std::array<std::uint8_t, 3>> palette;
    std::vector<int> index; // top row first
};

Indexed indexed(const TestPicture& p) {
    Indexed out;
    std::map<std::uint32_t, int> seen;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            const auto c = p.at(x, y);
            auto [it, added] = seen.emplace(key(c), int(out.palette.size()));
            if (added)
                out.palette.push_back(c);
            out.index.push_back(it->second);
        }
    return out;
}

} // namespace

TestPicture quadrants(int width, int height) {
    TestPicture p{width, height, {}};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool right = x >= width / 2, bottom = y >= height / 2;
            std::array<std::uint8_t, 3> c =
                !bottom ? (right ? std::array<std::uint8_t, 3>{0, 255, 0}
                                 : std::array<std::uint8_t, 3>{255, 0, 0})
                        : (right ? std::array<std::uint8_t, 3>{255, 255, 255}
                                 : std::array<std::uint8_t, 3>{0, 0, 255});
            p.rgb.insert(p.rgb.end(), c.begin(), c.end());
        }
    return p;
}

TestPicture halves(int width, int height) {
    TestPicture p{width, height, {}};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::uint8_t v = x >= width / 2 ? 255 : 0;
            p.rgb.insert(p.rgb.end(), {v, v, v});
        }
    return p;
}

QByteArray bmpFile(const TestPicture& p, int bits, bool topDown, bool rle) {
    const Indexed ix = indexed(p);
    const bool palette = bits <= 8;
    const int colours = palette ? 1 << bits : 0;
    QByteArray pixels;
    if (rle) { // runs of one index per row, then end of line; end of bitmap at the close
        for (int y = p.height - 1; y >= 0; --y) {
            for (int x = 0; x < p.width;) {
                const int i = ix.index[y * p.width + x];
                int run = 1;
                while (x + run < p.width && run < 255 && ix.index[y * p.width + x + run] == i)
                    ++run;
                pixels.append(char(run));
                pixels.append(char(bits == 4 ? (i << 4 | i) : i));
                x += run;
            }
            pixels.append(char(0)).append(char(0));
        }
        pixels.append(char(0)).append(char(1));
    } else {
        const int stride = (p.width * bits + 31) / 32 * 4;
        for (int row = 0; row < p.height; ++row) {
            const int y = topDown ? row : p.height - 1 - row;
            QByteArray line(stride, 0);
            for (int x = 0; x < p.width; ++x) {
                const auto c = p.at(x, y);
                if (palette) {
                    const int i = ix.index[y * p.width + x];
                    const int bit = x * bits;
                    line[bit / 8] = char(line[bit / 8] | i << (8 - bits - bit % 8));
                } else if (bits == 16) {
                    const int v = (c[0] >> 3) << 11 | (c[1] >> 2) << 5 | c[2] >> 3;
                    line[x * 2] = char(v & 0xFF);
                    line[x * 2 + 1] = char(v >> 8);
                } else {
                    const int n = bits / 8;
                    line[x * n] = char(c[2]);
                    line[x * n + 1] = char(c[1]);
                    line[x * n + 2] = char(c[0]);
                }
            }
            pixels.append(line);
        }
    }
    const int masks = bits == 16 ? 12 : 0;
    const std::uint32_t offset = 14 + 40 + masks + colours * 4;
    QByteArray b("BM");
    put32(b, offset + pixels.size());
    put32(b, 0);
    put32(b, offset);
    put32(b, 40);
    put32(b, p.width);
    put32(b, topDown ? std::uint32_t(-p.height) : std::uint32_t(p.height));
    put16(b, 1);
    put16(b, bits);
    put32(b, rle ? (bits == 8 ? 1 : 2) : (bits == 16 ? 3 : 0));
    put32(b, pixels.size());
    put32(b, 2835);
    put32(b, 2835);
    put32(b, colours);
    put32(b, 0);
    if (bits == 16) {
        put32(b, 0xF800);
        put32(b, 0x07E0);
        put32(b, 0x001F);
    }
    for (int i = 0; i < colours; ++i) {
        const auto c = i < int(ix.palette.size()) ? ix.palette[i] : std::array<std::uint8_t, 3>{};
        b.append(char(c[2])).append(char(c[1])).append(char(c[0])).append(char(0));
    }
    return b + pixels;
}

QByteArray pcxFile(const TestPicture& p, int bits) {
    const Indexed ix = indexed(p);
    const int planes = bits == 24 ? 3 : bits == 4 ? 4 : 1;
    const int planeBits = bits == 8 || bits == 24 ? 8 : 1;
    const int bytesPerLine = ((p.width * planeBits + 7) / 8 + 1) & ~1;
    QByteArray header(128, 0);
    header[0] = 0x0A;
    header[1] = 5;
    header[2] = 1;
    header[3] = char(planeBits);
    header[8] = char((p.width - 1) & 0xFF);
    header[9] = char((p.width - 1) >> 8);
    header[10] = char((p.height - 1) & 0xFF);
    header[11] = char((p.height - 1) >> 8);
    if (bits == 4)
        for (int i = 0; i < int(ix.palette.size()) && i < 16; ++i)
            for (int k = 0; k < 3; ++k)
                header[16 + i * 3 + k] = char(ix.palette[i][k]);
    header[65] = char(planes);
    header[66] = char(bytesPerLine & 0xFF);
    header[67] = char(bytesPerLine >> 8);
    header[68] = 1;

    QByteArray data;
    for (int y = 0; y < p.height; ++y) {
        QByteArray line(bytesPerLine * planes, 0);
        for (int x = 0; x < p.width; ++x) {
            const auto c = p.at(x, y);
            const int i = ix.index[y * p.width + x];
            if (bits == 24) {
                for (int k = 0; k < 3; ++k)
                    line[k * bytesPerLine + x] = char(c[k]);
            } else if (bits == 8) {
                line[x] = char(i);
            } else {
                const int value = bits == 1 ? (c[0] ? 1 : 0) : i;
                for (int k = 0; k < planes; ++k)
                    if (value >> k & 1)
                        line[k * bytesPerLine + x / 8] =
                            char(line[k * bytesPerLine + x / 8] | 0x80 >> (x % 8));
            }
        }
        for (int x = 0; x < line.size();) { // runs of at most 63; bytes >= 0xC0 always as runs
            int run = 1;
            while (x + run < line.size() && run < 63 && line[x + run] == line[x])
                ++run;
            if (run > 1 || (std::uint8_t(line[x]) & 0xC0) == 0xC0)
                data.append(char(0xC0 | run));
            data.append(line[x]);
            x += run;
        }
    }
    if (bits == 8) {
        data.append(char(12));
        for (int i = 0; i < 256; ++i)
            for (int k = 0; k < 3; ++k)
                data.append(char(i < int(ix.palette.size()) ? ix.palette[i][k] : 0));
    }
    return header + data;
}

QByteArray tgaFile(const TestPicture& p, int bits, bool rle, bool footer, bool topDown, bool grey) {
    const Indexed ix = indexed(p);
    const bool mapped = bits == 8 && !grey;
    QByteArray b(18, 0);
    b[1] = char(mapped ? 1 : 0);
    b[2] = char((mapped ? 1 : grey ? 3 : 2) + (rle ? 8 : 0));
    if (mapped) {
        b[5] = char(ix.palette.size());
        b[7] = 24;
    }
    b[12] = char(p.width & 0xFF);
    b[13] = char(p.width >> 8);
    b[14] = char(p.height & 0xFF);
    b[15] = char(p.height >> 8);
    b[16] = char(bits);
    b[17] = char((topDown ? 0x20 : 0) | (bits == 32 ? 8 : 0));
    if (mapped)
        for (const auto& c : ix.palette)
            b.append(char(c[2])).append(char(c[1])).append(char(c[0]));

    std::vector<QByteArray> pixels;
    for (int row = 0; row < p.height; ++row) {
        const int y = topDown ? row : p.height - 1 - row;
        for (int x = 0; x < p.width; ++x) {
            const auto c = p.at(x, y);
            QByteArray px;
            if (mapped)
                px.append(char(ix.index[y * p.width + x]));
            else if (grey)
                px.append(char(c[0]));
            else
                px.append(char(c[2])).append(char(c[1])).append(char(c[0]));
            if (bits == 32)
                px.append(char(255));
            pixels.push_back(px);
        }
    }
    for (std::size_t i = 0; i < pixels.size();) {
        if (!rle) {
            b.append(pixels[i++]);
            continue;
        }
        std::size_t run = 1;
        while (i + run < pixels.size() && run < 128 && pixels[i + run] == pixels[i])
            ++run;
        b.append(char(run > 1 ? 0x80 | (run - 1) : 0));
        b.append(pixels[i]);
        i += run;
    }
    if (footer) {
        put32(b, 0);
        put32(b, 0);
        b.append("TRUEVISION-XFILE.");
        b.append(char(0));
    }
    return b;
}

bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

BitmapFile BitmapFile::read(const QString& path) {
    BitmapFile bmp;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return bmp;
    bmp.bytes = file.readAll();
    if (bmp.bytes.size() < 54 || !bmp.bytes.startsWith("BM"))
        return bmp;
    auto u32 = [&](int at) {
        return std::uint32_t(std::uint8_t(bmp.bytes[at])) |
               std::uint32_t(std::uint8_t(bmp.bytes[at + 1])) << 8 |
               std::uint32_t(std::uint8_t(bmp.bytes[at + 2])) << 16 |
               std::uint32_t(std::uint8_t(bmp.bytes[at + 3])) << 24;
    };
    bmp.infoHeaderSize = u32(14);
    bmp.width = int(u32(18));
    bmp.height = int(u32(22));
    bmp.bitsPerPixel = std::uint8_t(bmp.bytes[28]) | std::uint8_t(bmp.bytes[29]) << 8;
    bmp.compression = u32(30);
    const qsizetype stride = (qsizetype(bmp.width) * 3 + 3) & ~3;
    bmp.valid = u32(2) == std::uint32_t(bmp.bytes.size()) && u32(10) == 54 && bmp.width > 0 &&
                bmp.height > 0 && bmp.bytes.size() == 54 + stride * bmp.height;
    return bmp;
}

std::array<std::uint8_t, 3> BitmapFile::at(int x, int y) const {
    const qsizetype stride = (qsizetype(width) * 3 + 3) & ~3;
    const qsizetype i = 54 + stride * (height - 1 - y) + qsizetype(x) * 3;
    return {std::uint8_t(bytes[i + 2]), std::uint8_t(bytes[i + 1]), std::uint8_t(bytes[i])};
}

bool near(const std::array<std::uint8_t, 3>& a, const std::array<std::uint8_t, 3>& b,
          int tolerance) {
    for (int k = 0; k < 3; ++k)
        if (std::abs(int(a[k]) - int(b[k])) > tolerance)
            return false;
    return true;
}
