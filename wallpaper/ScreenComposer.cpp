#include "wallpaper/ScreenComposer.h"

#include "bitmap/BitmapWriter.h"
#include "platform/LogCategories.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>

namespace {

constexpr std::int32_t kTile = 1;
constexpr std::uint32_t kHeadersSize = BitmapWriter::kHeadersSize;

std::uint32_t get32(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// One uncompressed 24-bit bitmap, read a row at a time (the rows are read in file order when
// the result is written bottom row first, as it is).
class BitmapRows {
public:
    bool open(const QString& path, QString* reason) {
        m_file.setFileName(path);
        // Rows are read whole into a buffer of our own: no second copy through a file buffer.
        if (!m_file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
            *reason = m_file.errorString();
            return false;
        }
        std::array<std::uint8_t, kHeadersSize> header{};
        if (m_file.read(reinterpret_cast<char*>(header.data()), header.size()) !=
                static_cast<qint64>(header.size()) ||
            header[0] != 'B' || header[1] != 'M' || get32(&header[14]) < 40 ||
            (header[28] | (header[29] << 8)) != 24 || get32(&header[30]) != 0) {
            *reason = QStringLiteral("not an uncompressed 24-bit bitmap");
            return false;
        }
        const auto width = static_cast<std::int32_t>(get32(&header[18]));
        const auto height = static_cast<std::int32_t>(get32(&header[22]));
        if (width <= 0 || height == 0 || height == std::numeric_limits<std::int32_t>::min()) {
            *reason = QStringLiteral("a bitmap without pixels");
            return false;
        }
        m_width = width;
        m_height = height < 0 ? -height : height;
        m_bottomUp = height > 0;
        m_offset = get32(&header[10]);
        m_stride = BitmapWriter::stride(m_width);
        if (static_cast<std::uint64_t>(m_file.size()) < m_offset + m_stride * m_height) {
            *reason = QStringLiteral("the bitmap is cut short");
            return false;
        }
        m_row.resize(m_stride);
        return true;
    }

    int width() const { return m_width; }
    int height() const { return m_height; }

    // Row `y` (0 at the top) as blue, green, red triples; null when it cannot be read.
    const std::uint8_t* row(int y) {
        if (y == m_current)
            return m_row.data();
        const std::uint64_t index = m_bottomUp ? m_height - 1 - y : y;
        const auto at = static_cast<qint64>(m_offset + index * m_stride);
        if ((m_file.pos() != at && !m_file.seek(at)) ||
            m_file.read(reinterpret_cast<char*>(m_row.data()), static_cast<qint64>(m_stride)) !=
                static_cast<qint64>(m_stride))
            return nullptr;
        m_current = y;
        return m_row.data();
    }

private:
    QFile m_file;
    int m_width = 0;
    int m_height = 0;
    bool m_bottomUp = true;
    std::uint64_t m_offset = 0;
    std::uint64_t m_stride = 0;
    std::vector<std::uint8_t> m_row;
    int m_current = -1;
};

// Where a screen's bitmap lies in the result, and how it repeats.
struct Placed {
    BitmapRows rows;
    QRect screen; // in the result's coordinates
    int left = 0; // the bitmap's top left corner in the result
    int top = 0;
    bool tile = false;
};

int wrap(int value, int size) {
    const int r = value % size;
    return r < 0 ? r + size : r;
}

bool fail(const QString& out, const QString& reason) {
    qCWarning(lcWallpaper).noquote()
        << QStringLiteral("Cannot put the screens' pictures together into %1: %2").arg(out, reason);
    return false;
}

} // namespace

bool ScreenComposer::compose(const std::vector<ScreenBitmap>& parts, std::int32_t layout,
                             const QString& out) {
    if (parts.empty())
        return fail(out, QStringLiteral("no screens"));
    QRect box;
    for (const ScreenBitmap& part : parts)
        box = box.united(part.screen.geometry());
    const std::uint64_t stride = BitmapWriter::stride(box.width());
    const std::optional<BitmapWriter::Headers> header =
        BitmapWriter::headers(box.width(), box.height());
    if (!header)
        return fail(out, QStringLiteral("the screens cover no area or too large an area"));

    std::vector<Placed> placed(parts.size());
    for (std::size_t i = 0; i < parts.size(); ++i) {
        Placed& p = placed[i];
        QString reason;
        if (!p.rows.open(parts[i].bitmap, &reason))
            return fail(out, parts[i].bitmap + QStringLiteral(": ") + reason);
        p.screen = parts[i].screen.geometry().translated(-box.topLeft());
        p.tile = layout == kTile;
        p.left = p.screen.x() + (p.tile ? 0 : (p.screen.width() - p.rows.width()) / 2);
        p.top = p.screen.y() + (p.tile ? 0 : (p.screen.height() - p.rows.height()) / 2);
    }

    // Written beside the target and renamed over it, so that a reader never sees half a
    // bitmap. Not synced to disk: it is made again at the next change, and a sync would cost
    // more than putting it together.
    QTemporaryFile file(QFileInfo(out).absoluteFilePath() + QStringLiteral(".XXXXXX"));
    if (!file.open())
        return fail(out, file.errorString());
    file.write(reinterpret_cast<const char*>(header->data()), header->size());

    std::vector<std::uint8_t> buffer(stride);
    std::uint8_t* const row = buffer.data();
    for (int y = box.height() - 1; y >= 0; --y) {
        std::fill_n(row, stride, std::uint8_t{0});
        for (Placed& p : placed) {
            if (y < p.screen.top() || y > p.screen.bottom())
                continue;
            int sy = y - p.top;
            if (p.tile)
                sy = wrap(sy, p.rows.height());
            else if (sy < 0 || sy >= p.rows.height())
                continue;
            const std::uint8_t* source = p.rows.row(sy);
            if (!source)
                return fail(out, parts[static_cast<std::size_t>(&p - placed.data())].bitmap +
                                     QStringLiteral(": cannot be read"));
            if (p.tile) {
                // The row again and again, from where the screen's edge cuts into it.
                for (int x = p.screen.left(); x <= p.screen.right();) {
                    const int sx = wrap(x - p.left, p.rows.width());
                    const int run = std::min(p.rows.width() - sx, p.screen.right() - x + 1);
                    std::memcpy(row + static_cast<std::size_t>(x) * 3,
                                source + static_cast<std::size_t>(sx) * 3,
                                static_cast<std::size_t>(run) * 3);
                    x += run;
                }
            } else {
                const int from = std::max(p.screen.left(), p.left);
                const int to = std::min(p.screen.right(), p.left + p.rows.width() - 1);
                if (from <= to)
                    std::memcpy(row + static_cast<std::size_t>(from) * 3,
                                source + static_cast<std::size_t>(from - p.left) * 3,
                                static_cast<std::size_t>(to - from + 1) * 3);
            }
        }
        if (file.write(reinterpret_cast<const char*>(row), static_cast<qint64>(stride)) !=
            static_cast<qint64>(stride))
            return fail(out, file.errorString());
    }
    if (!file.flush())
        return fail(out, file.errorString());
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                        QFileDevice::ReadOther);
    if (std::rename(QFile::encodeName(file.fileName()).constData(),
                    QFile::encodeName(out).constData()) != 0)
        return fail(out, QString::fromLocal8Bit(std::strerror(errno)));
    file.setAutoRemove(false); // it is the bitmap now
    return true;
}
