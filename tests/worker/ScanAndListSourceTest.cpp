#include "platform/FileName.h"
#include "tests/support/Waiting.h"
#include "tests/worker/WorkerRig.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <algorithm>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

namespace {

QString tipFor(const QString& name) {
    return "Tessaron - " + name;
}

// Asks for `count` more changes, one after the other; returns every bitmap name shown so far.
QStringList showMore(WorkerRig& rig, int count) {
    for (int i = 0; i < count; ++i) {
        // The tip comes after the change has moved the source's position on.
        const qsizetype tips = rig.tips().size();
        rig.worker().requestChange();
        EXPECT_TRUE(rig.waitForTips(tips + 1));
    }
    return rig.appliedNames();
}

QStringList sorted(QStringList names) {
    names.sort();
    return names;
}

} // namespace

TEST(ScanFolderSource, ShowsPicturesInNameOrderAndStartsOverAfterThePass) {
    WorkerRig rig;
    rig.makeFile("pics/b.jpg");
    rig.makeFile("pics/a.gif");
    rig.makeFile("pics/readme.txt");
    rig.setSettings([&](WallpaperSettings& s) { s.StartPath = rig.root() + "/pics"; });

    rig.worker().start();
    ASSERT_TRUE(rig.waitForApplied(1));
    EXPECT_TRUE(waitUntil([&] { return rig.lastTip() == tipFor("a.gif"); }));
    EXPECT_EQ(rig.converted().last(), rig.root() + "/pics/a.gif");
    for (int i = 2; i <= 4; ++i) {
        rig.worker().requestChange();
        ASSERT_TRUE(rig.waitForApplied(i));
    }
    EXPECT_EQ(rig.appliedNames(), (QStringList{"A.bmp", "B.bmp", "A.bmp", "B.bmp"}));
    EXPECT_EQ(rig.applied().first(), rig.wallpaperDir() + "/A.bmp");
    EXPECT_TRUE(waitUntil([&] { return rig.settings().CurScanFolderPos == 2; }));
    EXPECT_TRUE(rig.logLines().isEmpty()); // nothing is logged for a normal change
}

TEST(ScanFolderSource, TheOtherPictureTypesAreShownOnlyWhenTaken) {
    WorkerRig rig;
    const QStringList others{"a.png",  "b.webp", "c.jpeg", "d.jpe",
                             "e.jfif", "f.heic", "g.heif", "h.avif"};
    QStringList files;
    for (const QString& name : others)
        files << rig.makeFile("pics/" + name);
    rig.makeFile("pics/z.jpg");
    rig.setSettings([&](WallpaperSettings& s) { s.StartPath = rig.root() + "/pics"; });
    rig.worker().start();
    ASSERT_TRUE(rig.waitForApplied(1));
    rig.worker().requestChange();
    ASSERT_TRUE(rig.waitForApplied(2));
    EXPECT_EQ(rig.appliedNames(), (QStringList{"Z.bmp", "Z.bmp"}));

    rig.setSettings([](WallpaperSettings& s) { s.AllPictureTypes = 1; });
    for (int i = 3; i <= 11; ++i) {
        rig.worker().requestChange();
        ASSERT_TRUE(rig.waitForApplied(i));
    }
    const QStringList shown{"A.bmp", "B.bmp", "C.bmp", "D.bmp", "E.bmp", "F.bmp", "G.bmp", "H.bmp"};
    EXPECT_EQ(rig.appliedNames().mid(2), shown + QStringList{"Z.bmp"});

    // The file list takes them too.
    rig.setFileList(files);
    rig.setSettings([](WallpaperSettings& s) { s.UseFileList = 1; });
    for (int i = 12; i <= 19; ++i) {
        rig.worker().requestChange();
        ASSERT_TRUE(rig.waitForApplied(i));
    }
    EXPECT_EQ(rig.appliedNames().mid(11), shown);
}

TEST(ScanFolderSource, ResumesAtThePositionWithoutConvertingThePicturesBefore) {
    WorkerRig rig;
    for (const char* name : {"1.jpg", "2.jpg", "3.jpg", "4.jpg"})
        rig.makeFile(QString("pics/") + name);
    rig.setSettings([&](WallpaperSettings& s) {
        s.StartPath = rig.root() + "/pics";
        s.CurScanFolderPos = 3;
    });
    rig.worker().start();
    ASSERT_TRUE(rig.waitForApplied(1));
    EXPECT_EQ(rig.appliedNames(), QStringList{"3.bmp"});
    EXPECT_EQ(rig.convertCalls(), 1);
    // The position names the picture shown, so a restart shows it again.
    EXPECT_TRUE(waitUntil([&] { return rig.settings().CurScanFolderPos == 3; }));
    rig.worker().requestChange();
    ASSERT_TRUE(rig.waitForApplied(2));
    EXPECT_EQ(rig.appliedNames().last(), "4.bmp");
}

TEST(ScanFolderSource, ResumePastTheLastPictureStartsTheNextPassAtOnce) {
    WorkerRig rig;
    rig.makeFile("pics/a.jpg");
    rig.setSettings([&](WallpaperSettings& s) {
        s.StartPath = rig.root() + "/pics";
        s.CurScanFolderPos = 9;
    });
    rig.worker().start();
    ASSERT_TRUE(rig.waitForApplied(1));
    EXPECT_EQ(rig.appliedNames(), QStringList{"A.bmp"});
}

TEST(ScanFolderSource, WalksSubfoldersWhereTheyAreMetOnlyWhenAsked) {
    WorkerRig rig;
    rig.makeFile("pics/a.jpg");
    rig.makeFile("pics/m/x.gif");
    rig.makeFile("pics/m/zdeep/y.bmp");
    rig.makeFile("pics/z.tga");
    rig.makeLink("pics/m/loop", rig.root() + "/pics"); // a link back up is not followed
    rig.setSettings([&](WallpaperSettings& s) { s.StartPath = rig.root() + "/pics/"; });
    rig.worker().start();
    ASSERT_TRUE(rig.waitForApplied(1));
    for (int i = 2; i <= 4; ++i) {
        rig.worker().requestChange();
        ASSERT_TRUE(rig.waitForApplied(i));
    }
    EXPECT_EQ(rig.appliedNames(), (QStringList{"A.bmp", "X.bmp", "Y.bmp", "Z.bmp"}));
    EXPECT_EQ(rig.converted()[1], rig.root() + "/pics/m/x.gif");

    rig.setSettings([](WallpaperSettings& s) { s.IncludeSubflders = 0; });
    for (int i = 5; i <= 7; ++i) {
        rig.worker().requestChange();
        ASSERT_TRUE(rig.waitForApplied(i));
    }
    EXPECT_EQ(rig.appliedNames().mid(4), (QStringList{"A.bmp", "Z.bmp", "A.bmp"}));
}

TEST(ScanFolderSource, NeverEntersItsOwnDataFolderHiddenFoldersOrAFolderTwice) {
    WorkerRig rig;
    rig.makeFile("data/OldWallpaper.bmp");
    rig.makeFile(".cache/c.jpg");
    rig.makeFile(".shots/s.jpg");
    rig.makeFile("pics/a.jpg");
    rig.makeLink("pics/mine", rig.dataDir());
    // Twenty-two levels, each holding two links to the next: each level is walked once, not
    // once per path to it.
    for (int level = 0; level < 22; ++level) {
        const QString next = rig.makeFolder(QString("pics/wide/%1").arg(level + 1));
        rig.makeLink(QString("pics/wide/%1/x").arg(level), next);
        rig.makeLink(QString("pics/wide/%1/y").arg(level), next);
    }
    rig.makeFile("pics/z.jpg");
    rig.setSettings([&](WallpaperSettings& s) { s.StartPath = rig.root(); });
    rig.worker().start();
    ASSERT_TRUE(rig.waitForApplied(1));
    rig.worker().requestChange();
    ASSERT_TRUE(rig.waitForApplied(2));
    EXPECT_EQ(rig.appliedNames(), (QStringList{"A.bmp", "Z.bmp"}));

    // A start folder that is itself hidden is walked (from the next pass on).
    rig.setSettings([&](WallpaperSettings& s) { s.StartPath = rig.root() + "/.shots"; });
    rig.worker().requestChange();
    ASSERT_TRUE(rig.waitForApplied(3));
    EXPECT_EQ(rig.appliedNames().last(), "S.bmp");
}

TEST(ScanFolderSource, ShortcutsAndUnconvertiblePicturesStillCountAndNameTheTip) {
    WorkerRig rig;
    const QString target = rig.makeFile("elsewhere/sunset.jpg");
    rig.makeLink("pics/Sun.lnk", target);
    rig.makeLink("pics/Gone.lnk", rig.root() + "/elsewhere/missing.jpg");
    rig.makeFile("pics/Photo.JPG.txt");
    rig.setSettings([&](WallpaperSettings& s) { s.StartPath = rig.root() + "/pics"; });
    rig.services().convert = [](const QString& picture, const QString& bitmap,
                                const WallpaperLayout&, const ScreenMetrics&) {
        QFile out(bitmap);
        return !picture.endsWith(".txt") && out.open(QIODevice::WriteOnly);
    };
    rig.worker().start();
    // Photo.JPG.txt comes first by name: it fails to convert, so nothing is applied, but the
    // tip names it and the position moves on.
    EXPECT_TRUE(waitUntil([&] { return rig.lastTip() == tipFor("Photo.JPG.txt"); }));
    EXPECT_TRUE(rig.applied().isEmpty());
    const auto current = [&] {
        return rig.state().read([](const SlideShowState::Data& d) { return d.currentPicture; });
    };
    EXPECT_TRUE(current().isEmpty()) << "a picture that did not convert is not shown";
    rig.worker().requestChange();
    ASSERT_TRUE(rig.waitForApplied(1));
    EXPECT_EQ(rig.appliedNames(), QStringList{"SUNSET.bmp"});
    // The picture shown is the shortcut's target.
    EXPECT_TRUE(waitUntil([&] { return current() == target; }));
    EXPECT_TRUE(waitUntil([&] { return rig.lastTip() == tipFor("Sun.lnk"); }));
    EXPECT_TRUE(waitUntil([&] { return rig.settings().CurScanFolderPos == 2; }));
}

TEST(ScanFolderSource, ModeSwitchDuringAPassShowsTheListUnderTheFolderPicturesName) {
    WorkerRig rig;
    rig.makeFile("pics/a.jpg");
    rig.makeFile("pics/b.jpg");
    rig.makeFile("pics/c.jpg");
    const QString listed = rig.makeFile("list/Beach.gif");
    rig.setFileList({listed});
    rig.setSettings([&](WallpaperSettings& s) { s.StartPath = rig.root() + "/pics"; });
    rig.worker().start();
    ASSERT_TRUE(rig.waitForApplied(1));

    rig.setSettings([](WallpaperSettings& s) { s.UseFileList = 1; });
    rig.worker().requestChange();
    ASSERT_TRUE(rig.waitForApplied(2));
    EXPECT_EQ(rig.appliedNames()[1], "B.bmp");
    EXPECT_EQ(rig.converted()[1], listed);
    EXPECT_TRUE(waitUntil([&] { return rig.lastTip() == tipFor("Beach.gif"); }));

    // The walk runs to its end (c.jpg), then the file-list source takes over.
    for (int i = 3; i <= 4; ++i) {
        rig.worker().requestChange();
        ASSERT_TRUE(rig.waitForApplied(i));
    }
    EXPECT_EQ(rig.appliedNames().mid(2), (QStringList{"C.bmp", "BEACH.bmp"}));
}

TEST(ChangeCycle, EmptiesTheWallpaperFolderOfFilesButKeepsFolders) {
    WorkerRig rig;
    rig.makeFile("pics/a.jpg");
    rig.setSettings([&](WallpaperSettings& s) { s.StartPath = rig.root() + "/pics"; });
    rig.makeFile("data/Wallpaper/stray.txt");
    rig.makeFile("data/Wallpaper/kept/inner.txt");
    rig.worker().start();
    ASSERT_TRUE(rig.waitForApplied(1));
    QDir folder(rig.wallpaperDir());
    EXPECT_EQ(folder.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              (QStringList{"A.bmp", "kept"}));
    EXPECT_TRUE(QFileInfo::exists(rig.wallpaperDir() + "/kept/inner.txt"));

    // A wallpaper folder that is a link is not emptied: its target keeps its files, and a real
    // folder takes the link's place.
    WorkerRig linked;
    linked.makeFile("pics/a.jpg");
    linked.setSettings([&](WallpaperSettings& s) { s.StartPath = linked.root() + "/pics"; });
    const QString letter = linked.makeFile("Documents/letter.txt");
    linked.makeLink("data/Wallpaper", linked.root() + "/Documents");
    linked.worker().start();
    ASSERT_TRUE(linked.waitForApplied(1));
    EXPECT_TRUE(QFileInfo::exists(letter));
    EXPECT_FALSE(QFileInfo(linked.wallpaperDir()).isSymLink());
    EXPECT_EQ(linked.wallpaperFiles(), QStringList{"A.bmp"});
    EXPECT_EQ(linked.logLines().filter("tessaron.worker: ").filter("symbolic link").size(), 1);
}

TEST(FileListSource, ShowsFromThePositionWrapsAndLeavesUnusableEntries) {
    WorkerRig rig;
    const QString a = rig.makeFile("p/a.gif"), b = rig.makeFile("p/b.gif"),
                  c = rig.makeFile("p/c.gif");
    rig.setFileList({a, b, c});
    rig.setSettings([](WallpaperSettings& s) {
        s.UseFileList = 1;
        s.CurFileListPos = 2;
    });
    rig.worker().start();
    ASSERT_TRUE(rig.waitForApplied(1));
    for (int i = 2; i <= 4; ++i) {
        rig.worker().requestChange();
        ASSERT_TRUE(rig.waitForApplied(i));
    }
    EXPECT_EQ(rig.appliedNames(), (QStringList{"C.bmp", "A.bmp", "B.bmp", "C.bmp"}));

    // A position beyond the list starts at the top; a missing file or a non-picture is not
    // skipped: nothing changes and the position stays.
    WorkerRig other;
    const QString d = other.makeFile("p/d.gif");
    const QString sea = other.makeFile("p/sea.jpeg");
    other.setFileList({d, sea, other.root() + "/p/missing.gif"});
    other.setSettings([](WallpaperSettings& s) {
        s.UseFileList = 1;
        s.CurFileListPos = 7;
    });
    other.worker().start();
    ASSERT_TRUE(other.waitForApplied(1));
    other.worker().requestChange();
    EXPECT_TRUE(waitUntil([&] { return other.worker().sourceCalls() >= 2; }));
    other.worker().requestChange();
    EXPECT_TRUE(waitUntil([&] { return other.worker().sourceCalls() >= 3; }));
    EXPECT_EQ(other.appliedNames(), QStringList{"D.bmp"});
    EXPECT_EQ(other.settings().CurFileListPos, 1);

    // With every picture type on, sea.jpeg is a picture.
    other.setSettings([](WallpaperSettings& s) { s.AllPictureTypes = 1; });
    ASSERT_TRUE(other.waitForApplied(2));
    EXPECT_EQ(other.appliedNames().last(), "SEA.bmp");
}

TEST(FileListSource, ShortcutEntryConvertsTheTargetAndShowNowJumps) {
    WorkerRig rig;
    const QString target = rig.makeFile("Photos/Beach.gif");
    const QString link = rig.makeLink("links/Beach.lnk", target);
    const QString second = rig.makeFile("p/second.bmp");
    const QString third = rig.makeFile("p/third.bmp");
    rig.setFileList({link, second, third});
    rig.setSettings([](WallpaperSettings& s) { s.UseFileList = 1; });
    rig.worker().start();
    ASSERT_TRUE(rig.waitForApplied(1));
    EXPECT_EQ(rig.converted().first(), QFileInfo(target).canonicalFilePath());
    EXPECT_EQ(rig.appliedNames(), QStringList{"BEACH.bmp"});
    EXPECT_TRUE(waitUntil([&] { return rig.lastTip() == tipFor("Beach.lnk"); }));

    // "Show now" on the third entry while the worker waits.
    rig.setSettings([](WallpaperSettings& s) { s.CurFileListPos = 2; });
    rig.worker().requestChange();
    ASSERT_TRUE(rig.waitForApplied(2));
    rig.worker().requestChange();
    ASSERT_TRUE(rig.waitForApplied(3));
    EXPECT_EQ(rig.appliedNames().mid(1), (QStringList{"THIRD.bmp", "BEACH.bmp"}));
}

TEST(FileListSource, NamesThatAreNotUtf8AreFoundShownAndKeptAsTheirBytes) {
    WorkerRig rig;
    QDir().mkpath(rig.root() + "/p");
    const QByteArray bytes = QFile::encodeName(rig.root()) + "/p/caf\xe9.gif";
    const int fd = ::open(bytes.constData(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    ::close(fd);
    const QString name = FileName::fromNative(bytes);
    rig.setFileList({name});
    rig.setSettings([&](WallpaperSettings& s) {
        s.UseFileList = 1;
        s.StartPath = rig.root() + "/p";
    });
    rig.worker().start();
    ASSERT_TRUE(rig.waitForApplied(1));
    EXPECT_EQ(FileName::toNative(rig.converted().last()), bytes);
    EXPECT_EQ(rig.appliedNames(), QStringList{"CAF_.bmp"});
    EXPECT_TRUE(waitUntil(
        [&] { return rig.lastTip() == tipFor(QString::fromUtf8("caf\xef\xbf\xbd.gif")); }));
    EXPECT_EQ(QByteArray(rig.state().fileList().front().block()), bytes);

    // The folder walk finds it under the same bytes.
    rig.setSettings([](WallpaperSettings& s) { s.UseFileList = 0; });
    rig.worker().requestChange();
    ASSERT_TRUE(rig.waitForApplied(2));
    EXPECT_EQ(FileName::toNative(rig.converted().last()), bytes);
}

TEST(Shuffle, TheFolderWalkShowsEachPictureOnceARoundAndARestartGoesOnInTheSameOrder) {
    using namespace std::chrono_literals;
    WorkerRig rig;
    QStringList inWalkOrder;
    for (int i = 0; i < 50; ++i) {
        const QString number = QString::number(i).rightJustified(2, u'0');
        rig.makeFile("pics/p" + number + ".jpg");
        inWalkOrder << "P" + number + ".bmp";
    }
    const auto restartRound = [&](WallpaperSettings& s) {
        s.StartPath = rig.root() + "/pics";
        s.Shuffle = 1;
        s.ShuffleScanSeed = 4242;
        s.ShuffleScanLast.clear();
    };
    rig.setSettings(restartRound);
    rig.worker().start();
    ASSERT_TRUE(rig.waitForTips(1));
    const QStringList round = showMore(rig, 49);
    EXPECT_EQ(sorted(round), inWalkOrder);
    EXPECT_NE(round, inWalkOrder);
    // The profile names the picture shown last, by its number in walk order and by its path.
    const qsizetype last = inWalkOrder.indexOf(round.last());
    EXPECT_EQ(rig.settings().CurScanFolderPos, last + 1);
    EXPECT_EQ(rig.settings().ShuffleScanLast, rig.converted().last());

    // The same round again, with a restart after its 20th picture: the same order.
    rig.worker().stop(20s);
    rig.setSettings(restartRound);
    rig.worker().start();
    ASSERT_TRUE(rig.waitForTips(51));
    showMore(rig, 19);
    rig.worker().stop(20s);
    rig.worker().start();
    ASSERT_TRUE(rig.waitForTips(71));
    EXPECT_EQ(showMore(rig, 29).mid(50), round);

    // Shuffle turned off: the walk goes on in order after the picture shown last.
    rig.setSettings([](WallpaperSettings& s) { s.Shuffle = 0; });
    EXPECT_EQ(showMore(rig, 1).last(), inWalkOrder[(last + 1) % 50]);
}

TEST(Shuffle, APictureAddedDuringARoundComesInTheNextRound) {
    WorkerRig rig;
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg"})
        rig.makeFile(QString("pics/") + name);
    rig.setSettings([&](WallpaperSettings& s) {
        s.StartPath = rig.root() + "/pics";
        s.Shuffle = 1;
        s.ShuffleScanSeed = 77;
    });
    rig.worker().start();
    ASSERT_TRUE(rig.waitForTips(1));
    showMore(rig, 1);
    rig.makeFile("pics/c2.jpg");
    // A round is as long as its pictures; the next one begins under the next key.
    for (int i = 0; i < 6 && rig.settings().ShuffleScanSeed == 77; ++i)
        showMore(rig, 1);
    const qsizetype roundLength = rig.appliedNames().size() - 1;
    const QStringList first = rig.appliedNames().first(roundLength);
    EXPECT_EQ(QSet<QString>(first.begin(), first.end()).size(), roundLength);
    EXPECT_GE(roundLength, 5);
    EXPECT_EQ(sorted(showMore(rig, 5).mid(roundLength)),
              (QStringList{"A.bmp", "B.bmp", "C.bmp", "C2.bmp", "D.bmp", "E.bmp"}));
}

TEST(Shuffle, TheFileListShowsEachEntryOnceARoundWhateverShowNowOrAnEditDoes) {
    WorkerRig rig;
    QStringList entries, names;
    for (int i = 0; i < 50; ++i) {
        const QString number = QString::number(i).rightJustified(2, u'0');
        entries << rig.makeFile("p/e" + number + ".gif");
        names << "E" + number + ".bmp";
    }
    rig.setFileList(entries);
    rig.setSettings([](WallpaperSettings& s) {
        s.UseFileList = 1;
        s.Shuffle = 1;
        s.ShuffleFileSeed = 4242;
    });
    rig.worker().start();
    ASSERT_TRUE(rig.waitForTips(1));
    const QStringList round = showMore(rig, 49);
    EXPECT_EQ(sorted(round), names);
    EXPECT_NE(round, names);

    // The position names the entry shown next, as in order.
    const std::int32_t next = rig.settings().CurFileListPos;
    ASSERT_TRUE(next >= 0 && next < 50);
    const std::int32_t chosen = (next + 1) % 50;
    rig.state().modify([&](SlideShowState::Data& d) {
        d.settings.CurFileListPos = chosen;
        d.chosenByHand(ListKind::Files) = true;
    });
    const QStringList shown = showMore(rig, 2);
    EXPECT_EQ(shown[50], names[chosen]);
    EXPECT_EQ(shown[51], names[next]);

    // An entry removed at or before the position moves the entries after it up: the round
    // still shows no entry twice.
    rig.state().modify([](SlideShowState::Data& d) {
        d.fileList.erase(d.fileList.begin() + std::max(d.settings.CurFileListPos - 1, 0));
    });
    const QStringList secondRound = showMore(rig, 47).mid(51);
    EXPECT_EQ(QSet<QString>(secondRound.begin(), secondRound.end()).size(), 48);
}

TEST(ChangeCycle, PicturesNeverToBeShownAgainPassTheirTurnInTheWalkAndTheLists) {
    WorkerRig rig;
    const QString a = rig.makeFile("pics/a.jpg"), b = rig.makeFile("pics/b.jpg");
    rig.makeFile("pics/c.jpg");
    rig.setFileList({a, b});
    const auto exclude = [&](const QStringList& names) {
        rig.state().modify([&](SlideShowState::Data& d) {
            d.excludedList.clear();
            for (const QString& name : names)
                d.excludedList.push_back(*ListEntry::fromText(name));
            d.excludedChanged();
        });
    };
    exclude({b});
    rig.setSettings([&](WallpaperSettings& s) { s.StartPath = rig.root() + "/pics"; });
    rig.worker().start();
    ASSERT_TRUE(rig.waitForApplied(1));
    // b.jpg keeps its number in the walk: c.jpg is still the third picture.
    EXPECT_EQ(showMore(rig, 1), (QStringList{"A.bmp", "C.bmp"}));
    EXPECT_EQ(rig.settings().CurScanFolderPos, 3);

    // In the file list; an excluded shuffled entry uses up its turn in the round too.
    rig.setSettings([](WallpaperSettings& s) { s.UseFileList = 1; });
    EXPECT_EQ(showMore(rig, 3).mid(2), (QStringList{"A.bmp", "A.bmp", "A.bmp"}));
    rig.setSettings([](WallpaperSettings& s) { s.Shuffle = 1; });
    EXPECT_EQ(showMore(rig, 2).mid(5), (QStringList{"A.bmp", "A.bmp"}));
    // Nothing but excluded entries: nothing to show.
    exclude({a, b});
    const int calls = rig.convertCalls();
    rig.worker().requestChange();
    EXPECT_TRUE(waitUntil([&] { return rig.lastTip() == tipFor("File is not found"); }));
    EXPECT_EQ(rig.convertCalls(), calls);
}
