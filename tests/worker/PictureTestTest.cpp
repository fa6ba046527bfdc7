#include "worker/PictureTest.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString noResolve(const QString& path) {
    return path;
}

} // namespace

TEST(PictureTest, LooksForAPictureTypeAnywhereInThePathIgnoringCase) {
    EXPECT_TRUE(PictureTest::test("/d/a.jpg.files/notes.txt", noResolve));
    EXPECT_TRUE(PictureTest::test("/d/Photo.JPG.txt", noResolve));
    EXPECT_TRUE(PictureTest::test("/d/sea.tiff", noResolve));
    EXPECT_FALSE(PictureTest::test("/d/sea.jpeg", noResolve));
    EXPECT_FALSE(PictureTest::test("/d/readme.txt", noResolve));

    // Every picture type adds these, matched the same way; the table's stay.
    for (const char* name : {"/d/a.Png", "/d/a.webp", "/d/sea.jpeg", "/d/a.JPE", "/d/a.jfif",
                             "/d/a.heic", "/d/a.HEIF", "/d/a.avif.bak", "/d/a.png.files/x"}) {
        EXPECT_FALSE(PictureTest::test(name, noResolve)) << name;
        EXPECT_TRUE(PictureTest::test(name, noResolve, true)) << name;
    }
    EXPECT_TRUE(PictureTest::test("/d/a.gif", noResolve, true));
    EXPECT_FALSE(PictureTest::test("/d/readme.txt", noResolve, true));

    // The file is opened by the path as found; only the derived copy is upper case.
    const auto match = PictureTest::test("/d/Beach.gif", noResolve);
    ASSERT_TRUE(match);
    EXPECT_EQ(match->path, "/d/Beach.gif");
    EXPECT_EQ(match->upperPath, "/D/BEACH.GIF");
    EXPECT_FALSE(match->viaShortcut);
}

TEST(PictureTest, AShortcutCountsByItsTargetOrElseByItsOwnName) {
    QTemporaryDir dir;
    const QString picture = dir.filePath("Photos/sunset.jpg");
    QDir().mkpath(dir.filePath("Photos"));
    QFile(picture).open(QIODevice::WriteOnly);
    const QString notes = dir.filePath("notes.txt");
    QFile(notes).open(QIODevice::WriteOnly);
    QFile::link(picture, dir.filePath("Sun.lnk"));
    QFile::link(notes, dir.filePath("Notes.lnk"));
    QFile::link(notes, dir.filePath("old.bmp.lnk"));
    const QString shot = dir.filePath("shot.png");
    QFile(shot).open(QIODevice::WriteOnly);
    QFile::link(shot, dir.filePath("Shot.lnk"));
    int resolved = 0;
    const auto resolve = [&](const QString& path) {
        ++resolved;
        const QFileInfo info(path);
        return info.isSymLink() ? info.canonicalFilePath() : path;
    };

    const auto sun = PictureTest::test(dir.filePath("Sun.lnk"), resolve);
    ASSERT_TRUE(sun);
    EXPECT_TRUE(sun->viaShortcut);
    EXPECT_EQ(sun->path, QFileInfo(picture).canonicalFilePath());
    EXPECT_EQ(PictureTest::bitmapName(sun->upperPath), "SUNSET.bmp");

    EXPECT_FALSE(PictureTest::test(dir.filePath("Notes.lnk"), resolve));
    const auto own = PictureTest::test(dir.filePath("old.bmp.lnk"), resolve);
    ASSERT_TRUE(own);
    EXPECT_FALSE(own->viaShortcut);
    EXPECT_EQ(own->path, dir.filePath("old.bmp.lnk"));
    EXPECT_EQ(resolved, 3);

    // A target of the other picture types counts when they are taken.
    EXPECT_FALSE(PictureTest::test(dir.filePath("Shot.lnk"), resolve));
    const auto png = PictureTest::test(dir.filePath("Shot.lnk"), resolve, true);
    ASSERT_TRUE(png);
    EXPECT_EQ(png->path, QFileInfo(shot).canonicalFilePath());
}

TEST(PictureTest, BitmapNamesComeFromTheLastComponent) {
    EXPECT_EQ(PictureTest::bitmapName("/D/PICS/SUNSET.JPG"), "SUNSET.bmp");
    EXPECT_EQ(PictureTest::bitmapName("/D/A.B.JPG"), "A.B.bmp");
    // A dot in a folder name does not cut the file's name.
    EXPECT_EQ(PictureTest::bitmapName("/D/A.JPG.FILES/NOTES"), "NOTES.bmp");
    EXPECT_EQ(PictureTest::lastComponent("ftp://s/pub/Sea.GIF", '/'), "Sea.GIF");
    EXPECT_EQ(PictureTest::lastComponent("bare.gif", '/'), "bare.gif");
    EXPECT_EQ(PictureTest::lastComponent("ftp://s/pub/", '/'), "");
}
