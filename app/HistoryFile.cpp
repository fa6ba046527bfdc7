#include "app/HistoryFile.h"

#include "platform/LogCategories.h"
#include "platform/RegularFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

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
    QSaveFile file(path);
    const QByteArray bytes = history.encode();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        qCWarning(lcApp).noquote() << "Cannot save the history" << path << file.errorString();
        return false;
    }
    RegularFile::makePrivate(path);
    return true;
}
