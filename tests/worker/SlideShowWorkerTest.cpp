#include "tests/support/ProgramUnderTest.h"
#include "tests/worker/WorkerRig.h"

#include <gtest/gtest.h>

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
    rig.makeFile("old/b.jpg");
    rig.makeFile("new/n.jpg");
    rig.makeFile("new/o.jpg");
    rig.setSettings([&](WallpaperSettings& s) { s.StartPath = rig.root() + "/old"; });
    rig.worker().start();
    ASSERT_TRUE(rig.waitForApplied(1));

    // The old worker is in the middle of a conversion when the folder changes: it finishes
    // converting but applies nothing, and it does not stop its replacement.
    rig.closeConvertGate();
    rig.worker().requestChange();
    ASSERT_TRUE(rig.waitForConvertCalls(2));
    rig.setSettings([&](WallpaperSettings& s) {
        s.StartPath = rig.root() + "/new";
        s.CurScanFolderPos = 0;
    });
    rig.worker().restart();
    ASSERT_TRUE(rig.waitForConvertCalls(3));
    rig.openConvertGate();
    ASSERT_TRUE(rig.waitForApplied(2));
    EXPECT_EQ(rig.appliedNames(), (QStringList{"A.bmp", "N.bmp"}));
    rig.worker().requestChange();
    ASSERT_TRUE(rig.waitForApplied(3));
    EXPECT_EQ(rig.appliedNames(), (QStringList{"A.bmp", "N.bmp", "O.bmp"}));
    EXPECT_EQ(rig.convertCalls(), 4);
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

TEST(SlideShowWorker, StopDuringAConversionAppliesNothingAfterward) {
    WorkerRig rig;
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
}
