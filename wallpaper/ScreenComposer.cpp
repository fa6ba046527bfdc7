#include "wallpaper/ScreenComposer.h"

#include "bitmap/BitmapReader.h"
#include "bitmap/BitmapWriter.h"
#include "platform/FileName.h"
#include "platform/LogCategories.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr std::int32_t kTile = 1;

// One screen's bitmap, read a row at a time (the rows are read in file order when the result
// is written bottom row first, as it is), and where it lies in the result.
struct Placed {
    BitmapReader bitmap;
    std::vector<std::uint8_t> row;
    int current = -1; // the row in `row`
    QRect screen;     // in the result's coordinates
    int left = 0;     // the bitmap's top left corner in the result
    int top = 0;
    bool tile = false;

    // Row `y` (0 at the top) as blue, green, red triples; null when it cannot be read.
    const std::uint8_t* rowAt(int y) {
        if (y != current && !bitmap.read(y, 0, bitmap.width(), row.data()))
            return nullptr;
        current = y;
        return row.data();
    }
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

// The part of `source` (a row of p's bitmap) that falls on p's screen, put into `row` of the
// whole desktop.
void putRow(const Placed& p, const std::uint8_t* source, std::uint8_t* row) {
    if (p.tile) {
        // The row again and again, from where the screen's edge cuts into it.
        for (int x = p.screen.left(); x <= p.screen.right();) {
            const int sx = wrap(x - p.left, p.bitmap.width());
            const int run = std::min(p.bitmap.width() - sx, p.screen.right() - x + 1);
            std::memcpy(row + static_cast<std::size_t>(x) * 3,
                        source + static_cast<std::size_t>(sx) * 3,
                        static_cast<std::size_t>(run) * 3);
            x += run;
        }
    } else {
        const int from = std::max(p.screen.left(), p.left);
        const int to = std::min(p.screen.right(), p.left + p.bitmap.width() - 1);
        if (from <= to)
            std::memcpy(row + static_cast<std::size_t>(from) * 3,
                        source + static_cast<std::size_t>(from - p.left) * 3,
                        static_cast<std::size_t>(to - from + 1) * 3);
    }
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
        // Made for its screen by the converter, which is not trusted with more.
        const QSize screen = parts[i].screen.screen;
        if (const auto reason =
                p.bitmap.open(FileName::toNative(parts[i].bitmap).toStdString(),
                              std::max(screen.width(), 1), std::max(screen.height(), 1)))
            return fail(out,
                        parts[i].bitmap + QStringLiteral(": ") + QString::fromStdString(*reason));
        p.row.resize(static_cast<std::size_t>(p.bitmap.width()) * 3);
        p.screen = parts[i].screen.geometry().translated(-box.topLeft());
        p.tile = layout == kTile;
        p.left = p.screen.x() + (p.tile ? 0 : (p.screen.width() - p.bitmap.width()) / 2);
        p.top = p.screen.y() + (p.tile ? 0 : (p.screen.height() - p.bitmap.height()) / 2);
    }

    // Written beside the target and renamed over it, so that a reader never sees half a
    // bitmap; the user's alone (a temporary file's mode), like every file of the program's.
    // Not synced to disk: it is made again at the next change, and a sync would cost
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
                sy = wrap(sy, p.bitmap.height());
            else if (sy < 0 || sy >= p.bitmap.height())
                continue;
            const std::uint8_t* source = p.rowAt(sy);
            if (!source)
                return fail(out, parts[static_cast<std::size_t>(&p - placed.data())].bitmap +
                                     QStringLiteral(": cannot be read"));
            putRow(p, source, row);
        }
        if (file.write(reinterpret_cast<const char*>(row), static_cast<qint64>(stride)) !=
            static_cast<qint64>(stride))
            return fail(out, file.errorString());
    }
    if (!file.flush())
        return fail(out, file.errorString());
    if (std::rename(QFile::encodeName(file.fileName()).constData(),
                    QFile::encodeName(out).constData()) != 0)
        return fail(out, QString::fromLocal8Bit(std::strerror(errno)));
    file.setAutoRemove(false); // it is the bitmap now
    return true;
}
