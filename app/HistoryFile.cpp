#include "app/HistoryFile.h"

#include "platform/LogCategories.h"
#include "platform/RegularFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// Far beyond what 100 changes over a few screens take: a larger file is not ours.
constexpr qint64 kMaxBytes = 8 * 1024 * 1024;

} // namespace

QString HistoryFile::pathIn(const QString& dataDir) {
    return dataDir + QStringLiteral("/History.txt");
}

PictureHistory HistoryFile::load(const QString& path) {
    QFile file;
    if (!QFileInfo::exists(path) || !RegularFile::openForReading(file, path))
        return {};
    return PictureHistory::decode(file.read(kMaxBytes));
}

bool HistoryFile::save(const QString& path, const PictureHistory& history) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    // Whole or not at all, also on a full disk.
    QString error;
    if (!RegularFile::replace(path, history.encode(), {}, &error)) {
        qCWarning(lcApp).noquote() << "Cannot save the history" << path << error;
        return false;
    }
    return true;
}
