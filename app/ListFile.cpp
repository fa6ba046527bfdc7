#include "app/ListFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QtEndian>

namespace {

bool replaceContents(const QString& path, const QByteArray& bytes,
                     const ListFile::CommitGate& gate) {
    if (!QFileInfo::exists(path))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    if (gate && !gate()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
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
    // Never trust the count for the allocation: a partial last block still counts as an entry
    // (its missing bytes read as zero), blocks that are not in the file do not exist.
    const qsizetype available = (bytes.size() - 4 + ListEntry::kSize - 1) / ListEntry::kSize;
    const qsizetype n = std::min<qsizetype>(count, available);
    entries.reserve(static_cast<std::size_t>(n));
    char block[ListEntry::kSize];
    for (qsizetype i = 0; i < n; ++i) {
        const qsizetype offset = 4 + i * ListEntry::kSize;
        const qsizetype length = std::min<qsizetype>(ListEntry::kSize, bytes.size() - offset);
        std::fill(std::begin(block), std::end(block), '\0');
        std::copy_n(bytes.constData() + offset, length, block);
        entries.push_back(ListEntry::fromBlock(block));
    }
    return entries;
}

EntryList ListFile::load(const QString& path) {
    QFile file(path);
    if (!file.exists()) {
        if (file.open(QIODevice::WriteOnly))
            file.write(QByteArray(4, '\0'));
        return {};
    }
    if (!file.open(QIODevice::ReadOnly))
        return {};
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
    QFile old(path);
    if (old.open(QIODevice::ReadOnly) && old.size() > bytes.size()) {
        old.seek(bytes.size());
        bytes.append(old.readAll());
    }
    old.close();
    return replaceContents(path, bytes, gate);
}
