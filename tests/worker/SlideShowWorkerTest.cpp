#include "platform/FileName.h"
#include "tests/support/Waiting.h"
#include "tests/worker/WorkerRig.h"

#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <stdexcept>

using namespace std::chrono_literals;

TEST(SlideShowWorker, ChangeRequestsBeforeTheWaitCountAsOne) {
    WorkerRig rig;
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
        rig.makeFile(QString("pics/") + name);
    rig.setSettings([&](WallpaperSettings& s) { s.StartPath = rig.root() + "/pics"; });
    rig.closeConvertGate();
    rig.worker().start();
    ASSERT_TRUE(rig.waitForConvertCalls(1));
    rig.worker().requestChange();
    rig.worker().requestChange();
    rig.openConvertGate();
    ASSERT_TRUE(rig.waitForApplied(2));
    // Had the second request counted, the third picture would follow without another one.
    rig.closeConvertGate();
    rig.worker().requestChange();
    ASSERT_TRUE(rig.waitForConvertCalls(3));
    EXPECT_EQ(rig.applied().size(), 2);
    rig.openConvertGate();
    ASSERT_TRUE(rig.waitForApplied(3));
    EXPECT_EQ(rig.appliedNames(), (QStringList{"A.bmp", "B.bmp", "C.bmp"}));
}

TEST(SlideShowWorker, RestartEndsTheOldWorkerAndShowsTheNewFolderAtOnce) {
    WorkerRig rig;
    rig.makeFile("old/a.jpg");
    rig.makeFile("old/n.jpg");
    rig.makeFile("new/n.jpg");
    rig.setSettings([&](WallpaperSettings& s) { s.StartPath = rig.root() + "/old"; });
    rig.worker().start();
    ASSERT_TRUE(rig.waitForApplied(1));

    // The old worker is in the middle of converting old/n.jpg when the folder changes: that
    // conversion is ended, and leaves nothing behind. Its replacement shows new/n.jpg at once,
    // under the same bitmap name, and goes on.
    rig.closeConvertGate(rig.root() + "/old");
    rig.worker().requestChange();
    ASSERT_TRUE(rig.waitForConvertCalls(2));
    rig.setSettings([&](WallpaperSettings& s) {
        s.StartPath = rig.root() + "/new";
        s.CurScanFolderPos = 0;
    });
    rig.worker().restart();
    ASSERT_TRUE(rig.waitForApplied(2));
    rig.worker().requestChange();
    ASSERT_TRUE(rig.waitForApplied(3));
    rig.openConvertGate();
    rig.worker().stop(20s);
    EXPECT_EQ(rig.appliedNames(), (QStringList{"A.bmp", "N.bmp", "N.bmp"}));
    EXPECT_EQ(rig.convertCalls(), 4);
    ASSERT_EQ(rig.wallpaperFiles(), QStringList{"N.bmp"});
    QFile bitmap(rig.wallpaperDir() + "/N.bmp");
    ASSERT_TRUE(bitmap.open(QIODevice::ReadOnly));
    EXPECT_TRUE(bitmap.readAll().endsWith("/new/n.jpg"));
}

TEST(SlideShowWorker, NothingToShowRetriesAtMostOnceASecond) {
    WorkerRig rig;
    rig.makeFolder("empty");
    rig.setSettings([&](WallpaperSettings& s) { s.StartPath = rig.root() + "/empty"; });
    rig.worker().start();
    ASSERT_TRUE(waitUntil([&] { return rig.worker().sourceCalls() >= 1; }));
    // Hammer it with change requests and setting changes for two seconds: each may cause one
    // retry, but never more than one a second.
    int pokes = 0;
    waitUntil(
        [&] {
            rig.worker().requestChange();
            rig.setSettings([](WallpaperSettings& s) { ++s.Seconds; });
            ++pokes;
            return false;
        },
        2000);
    EXPECT_GT(pokes, 20);
    EXPECT_LE(rig.worker().sourceCalls(), 4u);

    // A picture appearing is found at the next request, and a stop still ends it promptly.
    rig.makeFile("empty/late.gif");
    rig.worker().requestChange();
    ASSERT_TRUE(rig.waitForApplied(1));
    rig.worker().stop(20s);
    EXPECT_EQ(rig.worker().lastExitCode(), 0);
}

TEST(SlideShowWorker, StopDuringAConversionEndsItAndAppliesNothingAfterward) {
    {
        WorkerRig rig;
        rig.makeFile("pics/a.jpg");
        rig.setSettings([&](WallpaperSettings& s) { s.StartPath = rig.root() + "/pics"; });
        rig.closeConvertGate();
        rig.worker().start();
        ASSERT_TRUE(rig.waitForConvertCalls(1));
        // The stop ends the conversion, so the worker ends with it, long before the bound.
        rig.worker().stop(20s);
        EXPECT_EQ(rig.worker().lastExitCode(), 0);
        EXPECT_TRUE(rig.applied().isEmpty());
        EXPECT_TRUE(rig.tips().isEmpty());
        EXPECT_TRUE(rig.wallpaperFiles().isEmpty());
    }
    WorkerRig rig;
    rig.services().abortConversion = {}; // a conversion that cannot be ended
    rig.makeFile("pics/a.jpg");
    rig.setSettings([&](WallpaperSettings& s) { s.StartPath = rig.root() + "/pics"; });
    rig.closeConvertGate();
    rig.worker().start();
    ASSERT_TRUE(rig.waitForConvertCalls(1));
    // The conversion is still held when the bound runs out: the worker is abandoned, and once
    // released it applies nothing, posts no tip and touches no position.
    rig.worker().stop(50ms);
    rig.openConvertGate();
    rig.setFileList({});
    ASSERT_TRUE(waitUntil([&] { return rig.worker().lastExitCode() == 0; }));
    EXPECT_TRUE(rig.applied().isEmpty());
    EXPECT_TRUE(rig.tips().isEmpty());
    EXPECT_EQ(rig.settings().CurScanFolderPos, 0);
    EXPECT_TRUE(rig.wallpaperFiles().isEmpty());
}

// Asks for the change `back` steps before the newest, as "Previous picture" does.
void goBackTo(WorkerRig& rig, std::size_t back) {
    rig.state().modify([back](SlideShowState::Data& d) {
        const auto& changes = d.history.changes();
        d.history.want(changes[changes.size() - 1 - back].id);
    });
    rig.worker().requestChange();
}

TEST(SlideShowWorker, GoingBackShowsChangesAgainAndTheSourceGoesOnWhereItWas) {
    WorkerRig rig;
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg"})
        rig.makeFile(QString("pics/") + name);
    rig.setSettings([&](WallpaperSettings& s) { s.StartPath = rig.root() + "/pics"; });
    std::mutex mutex;
    QStringList announced;
    rig.services().changed = [&](const std::vector<ShownPicture>& pictures) {
        std::lock_guard lock(mutex);
        for (const ShownPicture& p : pictures)
            announced << QFileInfo(p.name).fileName() + " " + QFileInfo(p.bitmap).fileName();
    };
    rig.worker().start();
    ASSERT_TRUE(rig.waitForApplied(1));
    for (int i = 2; i <= 3; ++i) {
        rig.worker().requestChange();
        ASSERT_TRUE(rig.waitForApplied(i));
    }
    // Back twice, then forward again: b.jpg has gone meanwhile and passes its turn. Only then
    // does the walk go on, after the picture it showed last.
    goBackTo(rig, 1);
    ASSERT_TRUE(rig.waitForApplied(4));
    goBackTo(rig, 2);
    ASSERT_TRUE(rig.waitForApplied(5));
    EXPECT_TRUE(waitUntil([&] { return rig.lastTip() == "Tessaron - a.jpg"; }));
    EXPECT_EQ(rig.state().read([](const SlideShowState::Data& d) { return d.history.back(); }), 2u);
    QFile::remove(rig.root() + "/pics/b.jpg");
    for (int i = 6; i <= 7; ++i) {
        rig.worker().requestChange();
        ASSERT_TRUE(rig.waitForApplied(i));
    }
    EXPECT_EQ(rig.appliedNames(),
              (QStringList{"A.bmp", "B.bmp", "C.bmp", "B.bmp", "A.bmp", "C.bmp", "D.bmp"}));
    EXPECT_EQ(rig.settings().CurScanFolderPos, 4);
    std::lock_guard lock(mutex);
    EXPECT_EQ(announced, (QStringList{"a.jpg A.bmp", "b.jpg B.bmp", "c.jpg C.bmp", "b.jpg B.bmp",
                                      "a.jpg A.bmp", "c.jpg C.bmp", "d.jpg D.bmp"}));
    // Only the source's changes are recorded.
    EXPECT_EQ(
        rig.state().read([](const SlideShowState::Data& d) { return d.history.changes().size(); }),
        4u);
}

ScreenMetrics screenAt(const char* name, int x, int y) {
    ScreenMetrics screen;
    screen.name = QString::fromLatin1(name);
    screen.origin = QPoint(x, y);
    screen.primary = x == 0 && y == 0;
    return screen;
}

TEST(SlideShowWorker, EachScreenTakesTheNextPicturesOfTheSourceInTurn) {
    WorkerRig rig;
    for (const char* name : {"a.jpg", "b-broken.jpg", "c.jpg", "d.jpg"})
        rig.makeFile(QString("pics/") + name);
    rig.setScreens({screenAt("L", 0, 0), screenAt("R", 1920, 0)});
    rig.setSettings([&](WallpaperSettings& s) {
        s.StartPath = rig.root() + "/pics";
        s.EachScreen = 1;
    });
    rig.worker().start();
    // The picture that fails is passed over; its turn and its name in the tip stay.
    ASSERT_TRUE(rig.waitForApplied(1));
    EXPECT_EQ(rig.applied(), QStringList{"L=A.bmp R=C.bmp"});
    EXPECT_EQ(rig.convertedFor(), (QStringList{"L", "R", "R"}));
    EXPECT_TRUE(
        waitUntil([&] { return rig.lastTip() == "Tessaron - a.jpg, b-broken.jpg, c.jpg"; }));
    EXPECT_EQ(rig.settings().CurScanFolderPos, 3);

    // The next change goes on from there, into the next pass.
    rig.worker().requestChange();
    ASSERT_TRUE(rig.waitForApplied(2));
    EXPECT_EQ(rig.applied().last(), "L=D.bmp R=A.bmp");
    EXPECT_EQ(rig.wallpaperFiles(), (QStringList{"A.bmp", "D.bmp"}));
    // Going back shows each screen's picture of the change before again.
    goBackTo(rig, 1);
    ASSERT_TRUE(rig.waitForApplied(3));
    EXPECT_EQ(rig.applied().last(), "L=A.bmp R=C.bmp");
    rig.worker().requestChange();
    ASSERT_TRUE(rig.waitForApplied(4));
    EXPECT_EQ(rig.applied().last(), "L=D.bmp R=A.bmp");

    // With the setting off, or with one screen, a change is one picture for the whole desktop.
    rig.setSettings([](WallpaperSettings& s) { s.EachScreen = 0; });
    rig.worker().requestChange();
    EXPECT_TRUE(waitUntil([&] { return rig.lastTip() == "Tessaron - b-broken.jpg"; }));
    rig.setScreens({screenAt("L", 0, 0)});
    rig.setSettings([](WallpaperSettings& s) { s.EachScreen = 1; });
    rig.worker().requestChange();
    ASSERT_TRUE(rig.waitForApplied(5));
    EXPECT_EQ(rig.appliedNames().last(), "C.bmp");
    EXPECT_EQ(rig.convertedFor().last(), "L");
}

TEST(SlideShowWorker, AScreenChangeThatRunsOutOfPicturesRepeatsThemAndLeavesNothingBehind) {
    WorkerRig rig;
    const QString x = rig.makeFile("p/x.jpg");
    rig.setFileList({x, rig.root() + "/p/missing.jpg"});
    rig.setScreens({screenAt("L", 0, 0), screenAt("R", 1920, 0), screenAt("B", 0, 1080)}, true);
    rig.setSettings([](WallpaperSettings& s) {
        s.UseFileList = 1;
        s.EachScreen = 1;
    });
    rig.worker().start();
    // The missing entry ends the change with one picture: every screen shows it, put together
    // into one bitmap for the whole desktop.
    ASSERT_TRUE(rig.waitForApplied(1));
    EXPECT_EQ(rig.applied(), QStringList{rig.wallpaperDir() + "/X.bmp"});
    // The screens' parts go once the whole is shown.
    EXPECT_TRUE(waitUntil([&] { return rig.wallpaperFiles() == QStringList{"X.bmp"}; }))
        << rig.wallpaperFiles().join(' ').toStdString();
    QFile composed(rig.wallpaperDir() + "/X.bmp");
    ASSERT_TRUE(composed.open(QIODevice::ReadOnly));
    const QByteArray part = "BM " + x.toUtf8() + "\n";
    EXPECT_EQ(composed.readAll(), "L: " + part + "R: " + part + "B: " + part);
    EXPECT_TRUE(waitUntil([&] { return rig.lastTip() == "Tessaron - x.jpg"; }));
    EXPECT_EQ(rig.settings().CurFileListPos, 1);

    // A stop in the middle of a change leaves none of its unfinished bitmaps.
    rig.setFileList({x, x});
    rig.closeConvertGate();
    rig.worker().requestChange();
    ASSERT_TRUE(rig.waitForConvertCalls(2));
    rig.worker().stop(50ms);
    rig.openConvertGate();
    ASSERT_TRUE(waitUntil([&] { return rig.worker().lastExitCode() == 0; }));
    EXPECT_EQ(rig.wallpaperFiles(), QStringList{"X.bmp"});
}

TEST(SlideShowWorker, OnePictureIsMadeForEachScreenWhereItsBitmapDependsOnTheScreen) {
    WorkerRig rig;
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg"})
        rig.makeFile(QString("pics/") + name);
    ScreenMetrics left = screenAt("L", 0, 0), right = screenAt("R", 1920, 0);
    right.screen = QSize(1280, 1024);
    right.workArea = QRect(0, 0, 1280, 1024);
    rig.setScreens({left, right});
    rig.setSettings([&](WallpaperSettings& s) {
        s.StartPath = rig.root() + "/pics";
        s.Layout = static_cast<std::int32_t>(ImageLayout::Span);
        s.EachScreen = 1; // one picture spans all screens all the same
    });
    rig.worker().start();
    // Span: each screen its part of the one picture.
    ASSERT_TRUE(rig.waitForApplied(1));
    EXPECT_EQ(rig.applied(), QStringList{"L=A.bmp R=A-2.bmp"});
    std::vector<WallpaperLayout> layouts = rig.convertedLayouts();
    ASSERT_EQ(layouts.size(), 2u);
    EXPECT_EQ(layouts[0].desktop, QRect(0, 0, 3200, 1080));
    EXPECT_EQ(layouts[0].place, QRect(0, 0, 1920, 1080));
    EXPECT_EQ(layouts[1].place, QRect(1920, 0, 1280, 1024));
    EXPECT_TRUE(waitUntil([&] { return rig.lastTip() == "Tessaron - a.jpg"; }));
    EXPECT_EQ(rig.settings().CurScanFolderPos, 1);

    // Fill on screens of two sizes: the picture made for each; Centered: once, for all.
    rig.setSettings([](WallpaperSettings& s) {
        s.Layout = static_cast<std::int32_t>(ImageLayout::Fill);
        s.EachScreen = 0;
    });
    rig.worker().requestChange();
    ASSERT_TRUE(rig.waitForApplied(2));
    EXPECT_EQ(rig.applied().last(), "L=B.bmp R=B-2.bmp");
    EXPECT_EQ(rig.convertedFor().mid(2), (QStringList{"L", "R"}));
    rig.setSettings([](WallpaperSettings& s) { s.Layout = 0; });
    rig.worker().requestChange();
    ASSERT_TRUE(rig.waitForApplied(3));
    EXPECT_EQ(rig.appliedNames().last(), "C.bmp");
    EXPECT_EQ(rig.convertedFor().mid(4), QStringList{"L"});
    // A stop between the screens' conversions leaves none of the change's bitmaps.
    rig.setSettings([](WallpaperSettings& s) { s.Layout = 5; });
    rig.closeConvertGate();
    rig.worker().requestChange();
    ASSERT_TRUE(rig.waitForConvertCalls(6));
    rig.worker().stop(50ms);
    rig.openConvertGate();
    ASSERT_TRUE(waitUntil([&] { return rig.worker().lastExitCode() == 0; }));
    EXPECT_EQ(rig.wallpaperFiles(), QStringList{"C.bmp"});

    // A desktop that takes one picture gets one bitmap over all screens.
    WorkerRig spanning;
    spanning.makeFile("pics/e.jpg");
    spanning.setScreens({left, right}, true);
    spanning.setSettings([&](WallpaperSettings& s) {
        s.StartPath = spanning.root() + "/pics";
        s.Layout = static_cast<std::int32_t>(ImageLayout::Span);
    });
    spanning.worker().start();
    ASSERT_TRUE(spanning.waitForApplied(1));
    EXPECT_EQ(spanning.applied(), QStringList{spanning.wallpaperDir() + "/E.bmp"});
    EXPECT_EQ(spanning.convertedFor(), QStringList{"desktop"});
    EXPECT_EQ(spanning.convertedLayouts().at(0).place, QRect(0, 0, 3200, 1080));
    EXPECT_EQ(spanning.wallpaperFiles(), QStringList{"E.bmp"});
}

TEST(SlideShowWorker, AnUnexpectedFailureEndsTheWorkerWithOneLogLine) {
    WorkerRig rig;
    rig.makeFile("pics/a.jpg");
    rig.setSettings([&](WallpaperSettings& s) { s.StartPath = rig.root() + "/pics"; });
    rig.services().convert = [](const QString&, const QString& bitmap, const WallpaperLayout&,
                                const ScreenMetrics&) -> bool {
        QFile half(bitmap);
        half.open(QIODevice::WriteOnly);
        throw std::runtime_error("out of disk space");
    };
    rig.worker().start();
    ASSERT_TRUE(waitUntil([&] { return rig.worker().lastExitCode() == 1; }));
    EXPECT_TRUE(rig.wallpaperFiles().isEmpty());
    const QStringList lines = rig.logLines();
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith("tessaron.worker: "));
    EXPECT_TRUE(lines[0].contains("out of disk space"));
}

TEST(PictureHistory, KeepsTheLastHundredChangesAndAnyNameThroughItsFile) {
    PictureHistory history;
    const QString odd = FileName::fromNative("/p/a b\n\t%\xff.jpg");
    for (int i = 0; i < 105; ++i)
        history.record(
            {{PictureKind::FolderWalk, QString("/p/%1.jpg").arg(i), "DP-1", {}, {}, {}}});
    history.record({{PictureKind::UrlList, "ftp://s/x y.gif", "DP-1", {}, {}, {}},
                    {PictureKind::FileList, odd, {}, {}, {}, {}}});
    ASSERT_EQ(history.changes().size(), 100u);
    EXPECT_EQ(history.changes().front().pictures[0].name, "/p/6.jpg");

    const PictureHistory read = PictureHistory::decode(history.encode() + "7 1 - \nnonsense\n");
    EXPECT_EQ(read.changes(), history.changes());
    EXPECT_EQ(read.back(), 0u);
    EXPECT_TRUE(PictureHistory::decode("Other file\n1 0 - %2Fa.jpg\n").changes().empty());
}
