#include "app/ListFile.h"
#include "tests/support/SmallDisk.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

QByteArray countBytes(qint32 count) {
    QByteArray bytes(4, '\0');
    qToLittleEndian(count, bytes.data());
    return bytes;
}

QByteArray block(const QByteArray& text) {
    QByteArray bytes = text;
    bytes.resize(ListEntry::kSize, '\0');
    return bytes;
}

EntryList entries(std::initializer_list<const char*> texts) {
    EntryList list;
    for (const char* text : texts)
        list.push_back(*ListEntry::fromText(QString::fromUtf8(text)));
    return list;
}

class ListFileTest : public ::testing::Test {
protected:
    QString path() const { return m_dir.filePath(QStringLiteral("tessaron.txt")); }
    void write(const QByteArray& bytes) {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QByteArray contents() const {
        QFile file(path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir m_dir;
};

TEST_F(ListFileTest, MissingFileIsCreatedAsFourZeroBytes) {
    EXPECT_TRUE(ListFile::load(path()).empty());
    EXPECT_EQ(contents(), QByteArray(4, '\0'));
}

TEST_F(ListFileTest, AFifoInTheListsPlaceNeitherBlocksNorIsReplaced) {
    QFile::remove(path());
    ASSERT_EQ(::mkfifo(QFile::encodeName(path()).constData(), 0600), 0);
    EXPECT_TRUE(ListFile::load(path()).empty());
    EXPECT_FALSE(ListFile::save(path(), entries({"/a.jpg"})));
    EXPECT_FALSE(ListFile::saveOverStart(path(), entries({"/a.jpg"})));
    EXPECT_FALSE(QFileInfo(path()).isFile());
}

TEST_F(ListFileTest, CountIsAuthoritativeAndTrailingBytesAreIgnored) {
    const QByteArray three = countBytes(3) + block("/a.jpg") + block("/b.gif") + block("/c.bmp");
    write(three);
    EXPECT_EQ(ListFile::load(path()), entries({"/a.jpg", "/b.gif", "/c.bmp"}));
    write(three + block("/d.tga") + "junk");
    EXPECT_EQ(ListFile::load(path()), entries({"/a.jpg", "/b.gif", "/c.bmp"}));
}

TEST_F(ListFileTest, HostileCountsReadOnlyTheEntriesPresent) {
    write(countBytes(-7) + block("/a.jpg"));
    EXPECT_TRUE(ListFile::load(path()).empty());

    // A count of two billion over one and a half entries: no huge allocation, and the
    // partial second block (a file cut short) is dropped, not saved back as a whole entry.
    write(countBytes(0x7fffffff) + block("/a.jpg") + QByteArray("/b.jpg"));
    EXPECT_EQ(ListFile::load(path()), entries({"/a.jpg"}));

    write(QByteArray("\x02\x00", 2));
    EXPECT_TRUE(ListFile::load(path()).empty());
}

TEST_F(ListFileTest, EntryWithoutTerminatorOrWithTrailingGarbageIsNormalised) {
    QByteArray noTerminator(ListEntry::kSize, 'x');
    QByteArray garbageAfter = block("/a.jpg");
    garbageAfter[100] = 'z';
    write(countBytes(2) + noTerminator + garbageAfter);
    const EntryList list = ListFile::load(path());
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].text().size(), 519);
    EXPECT_EQ(list[1].text(), QStringLiteral("/a.jpg"));
    EXPECT_EQ(QByteArray(list[1].block(), ListEntry::kSize), block("/a.jpg"));
}

TEST_F(ListFileTest, SaveWritesExactFormatOnlyWhenFileExists) {
    const EntryList list = entries({"/x/ä.jpg", "/y.gif"});
    EXPECT_FALSE(ListFile::save(path(), list));
    EXPECT_FALSE(QFile::exists(path()));

    write(countBytes(0));
    ::chmod(QFile::encodeName(path()).constData(), 0644);
    EXPECT_TRUE(ListFile::save(path(), list));
    EXPECT_EQ(contents(), countBytes(2) + block("/x/\xc3\xa4.jpg") + block("/y.gif"));
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(path()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(ListFileTest, ALinkAtTheListsNameIsReplacedAndItsTargetLeftAlone) {
    const QString notes = m_dir.filePath(QStringLiteral("notes.txt"));
    QFile file(notes);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("the user's own notes\n");
    file.close();
    ASSERT_TRUE(QFile::link(notes, path()));
    EXPECT_TRUE(ListFile::saveOverStart(path(), entries({"/a.jpg"})));
    EXPECT_FALSE(QFileInfo(path()).isSymLink());
    EXPECT_EQ(ListFile::load(path()), entries({"/a.jpg"}));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "the user's own notes\n");
}

TEST_F(ListFileTest, InterruptedSaveLeavesTheOldListWhole) {
    const QByteArray old = countBytes(1) + block("/old.jpg");
    write(old);
    EXPECT_FALSE(ListFile::save(path(), entries({"/new.jpg", "/more.jpg"}), [] { return false; }));
    EXPECT_EQ(contents(), old);
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files),
              QStringList{QStringLiteral("tessaron.txt")});
}

TEST(ListFileOnAFullDiskTest, EverySaveLeavesTheWholeOldListOrTheWholeNewOne) {
    SmallDisk disk;
    if (!disk.mounted())
        GTEST_SKIP() << disk.whyNot().toStdString();
    const QString path = disk.file(QStringLiteral("tessaron.txt"));
    EntryList old;
    EntryList newer;
    for (int i = 0; i < 20; ++i) {
        const auto entry = ListEntry::fromText(QStringLiteral("/pictures/%1.jpg").arg(i));
        if (i < 10)
            old.push_back(*entry);
        newer.push_back(*entry);
    }
    // 10 entries take two pages, the 20 of the new list three: with up to two pages free the
    // new one cannot fit, and the save must fail without touching the old one.
    for (int freePages = 0; freePages <= 3; ++freePages) {
        for (const auto save : {&ListFile::save, &ListFile::saveOverStart}) {
            disk.makeRoom();
            ListFile::load(path);
            ASSERT_TRUE(ListFile::save(path, old));
            disk.fillLeaving(freePages);
            const bool saved = save(path, newer, {});
            EXPECT_EQ(saved, freePages == 3) << freePages;
            EXPECT_EQ(ListFile::load(path), saved ? newer : old) << freePages;
            EXPECT_EQ(QDir(disk.path()).entryList(QDir::Files),
                      QStringList{QStringLiteral("tessaron.txt")});
        }
    }
}

TEST_F(ListFileTest, SaveOverStartKeepsBytesALongerListLeft) {
    write(countBytes(3) + block("/a.jpg") + block("/b.jpg") + block("/c.jpg"));
    EXPECT_TRUE(ListFile::saveOverStart(path(), entries({"/z.jpg"})));
    EXPECT_EQ(contents(), countBytes(1) + block("/z.jpg") + block("/b.jpg") + block("/c.jpg"));
    EXPECT_EQ(ListFile::load(path()), entries({"/z.jpg"}));
}

TEST(ListEntryTest, TextOverTheBlockIsRefusedNeverCut) {
    EXPECT_TRUE(ListEntry::fromText(QString(519, QLatin1Char('a'))).has_value());
    EXPECT_FALSE(ListEntry::fromText(QString(520, QLatin1Char('a'))).has_value());
    // 259 two-byte characters fit (518 bytes); one more would need 520.
    EXPECT_TRUE(ListEntry::fromText(QString(259, QChar(0xe4))).has_value());
    EXPECT_FALSE(ListEntry::fromText(QString(260, QChar(0xe4))).has_value());
    EXPECT_FALSE(ListEntry::fromText(QStringLiteral("a\0b")).has_value());
}

} // namespace
