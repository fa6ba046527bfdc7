#include "app/ListFile.h"

#include "platform/LogCategories.h"
#include "platform/RegularFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

namespace {

bool replaceContents(const QString& path, const QByteArray& bytes,
                     const ListFile::CommitGate& gate) {
    if (!QFileInfo::exists(path))
        return false;
    // A FIFO or a device in the list's place is never replaced by a rename.
    if (RegularFile::isOtherThanRegular(path)) {
        qCWarning(lcApp) << "not a regular file, left as it is:" << path;
        return false;
    }
    QString error;
    const auto beforeReplace = [&gate](const QString&) { return !gate || gate(); };
    if (RegularFile::replace(path, bytes, beforeReplace, &error))
        return true;
    qCWarning(lcApp).noquote() << "could not save the list" << path
                               << "(the old list is kept):" << error;
    return false;
}

} // namespace

QByteArray ListFile::encode(const EntryList& entries) {
    QByteArray bytes(4, '\0');
    qToLittleEndian<qint32>(static_cast<qint32>(entries.size()), bytes.data());
    bytes.reserve(4 + static_cast<qsizetype>(entries.size() * ListEntry::kSize));
    for (const ListEntry& entry : entries)
        bytes.append(entry.block(), ListEntry::kSize);
    return bytes;
}

EntryList ListFile::decode(const QByteArray& bytes) {
    EntryList entries;
    if (bytes.size() < 4)
        return entries;
    const qint32 count = qFromLittleEndian<qint32>(bytes.constData());
    if (count <= 0)
        return entries;
    // Never trust the count for the allocation: blocks that are not in the file do not exist,
    // and a partial last block (a file cut short) is dropped rather than saved back whole.
    const qsizetype available = (bytes.size() - 4) / static_cast<qsizetype>(ListEntry::kSize);
    const qsizetype n = std::min<qsizetype>(count, available);
    entries.reserve(static_cast<std::size_t>(n));
    for (qsizetype i = 0; i < n; ++i) {
        entries.push_back(ListEntry::fromBlock(bytes.constData() + 4 + i * ListEntry::kSize));
    }
    return entries;
}

EntryList ListFile::load(const QString& path) {
    QFile file(path);
    if (!QFileInfo(path).exists() && !QFileInfo(path).isSymLink()) {
        // The folder of an installed program's lists may not exist yet at the first start;
        // without the file, no edit of the list would ever be saved.
        QDir().mkpath(QFileInfo(path).absolutePath());
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            file.write(QByteArray(4, '\0'));
        else
            qCWarning(lcApp) << "could not create the list file" << path << file.errorString();
        return {};
    }
    if (!RegularFile::openForReading(file, path)) {
        qCWarning(lcApp) << "list file is not a readable regular file, read as empty:" << path;
        return {};
    }
    // Read the count first, then at most the blocks it announces, so a huge file costs no
    // more than its announced entries.
    const QByteArray head = file.read(4);
    if (head.size() < 4)
        return {};
    const qint32 count = qFromLittleEndian<qint32>(head.constData());
    if (count <= 0)
        return {};
    const qint64 wanted = static_cast<qint64>(count) * static_cast<qint64>(ListEntry::kSize);
    const qint64 present = std::max<qint64>(0, file.size() - 4);
    return decode(head + file.read(std::min(wanted, present)));
}

bool ListFile::save(const QString& path, const EntryList& entries, const CommitGate& gate) {
    return replaceContents(path, encode(entries), gate);
}

bool ListFile::saveOverStart(const QString& path, const EntryList& entries,
                             const CommitGate& gate) {
    QByteArray bytes = encode(entries);
    QFile old;
    if (RegularFile::openForReading(old, path) && old.size() > bytes.size()) {
        old.seek(bytes.size());
        bytes.append(old.readAll());
    }
    old.close();
    return replaceContents(path, bytes, gate);
}
