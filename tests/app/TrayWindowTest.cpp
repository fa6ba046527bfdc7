#include "app/TrayWindow.h"
#include "app/ListFile.h"
#include "app/PictureActions.h"
#include "app/SettingsStore.h"
#include "app/TrayServices.h"
#include "platform/AppPaths.h"
#include "platform/IniProfile.h"
#include "tests/support/QtTestApp.h"
#include "tests/support/RecordingShell.h"
#include "tests/support/UnderWine.h"
#include "worker/SlideShowControl.h"
#include "worker/SlideShowState.h"
#include "worker/TipChannel.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QMenu>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <thread>

namespace {

using Events = std::vector<std::string>;

class RecordingSlideShow : public SlideShowControl {
public:
    explicit RecordingSlideShow(Events& events) : m_events(events) {}
    void start() override { m_events.push_back("start"); }
    void requestChange() override { m_events.push_back("change"); }
    void restart() override { m_events.push_back("restart"); }
    void stop(std::chrono::milliseconds) override {
        m_events.push_back("stop");
        if (whileStopping)
            whileStopping();
    }

    // What the worker still finishes while it is being stopped.
    std::function<void()> whileStopping;

private:
    Events& m_events;
};

class RecordingServices : public TrayServices {
public:
    explicit RecordingServices(Events& events) : m_events(events) {}
    void storeOldWallpaper() override { m_events.push_back("store"); }
    void restoreOldWallpaper() override { m_events.push_back("restore"); }
    void updateAutorun(bool on) override { m_events.push_back(on ? "autorun on" : "autorun off"); }
    void updateLockScreen(bool on) override { lockScreen = on; }
    bool askRestoreOldWallpaper() override {
        m_events.push_back("ask");
        return answerYes;
    }
    std::optional<WallpaperSettings>
    runProperties(const WallpaperSettings& current,
                  const std::function<void(const WallpaperSettings&)>&) override {
        m_events.push_back("properties");
        // A second request while the dialog runs only raises it.
        if (whileOpen)
            whileOpen();
        return current;
    }
    void runAbout() override { m_events.push_back("about"); }
    void raiseModalDialog() override { m_events.push_back("raise"); }
    void cancelModalDialog() override { m_events.push_back("cancel"); }

    bool answerYes = true;
    bool lockScreen = false;
    std::function<void()> whileOpen;

private:
    Events& m_events;
};

class TrayWindowTest : public ::testing::Test {
protected:
    TrayWindowTest() {
        ensureQtApplication();
        // The lists' folder does not exist yet, as for an installed program's first start.
        m_paths.fileListPath = m_dir.filePath(QStringLiteral("data/t.txt"));
        m_paths.urlListPath = m_dir.filePath(QStringLiteral("data/t_Url.txt"));
        m_paths.excludedListPath = m_dir.filePath(QStringLiteral("data/t_Never.txt"));
        m_paths.dataDir = m_dir.filePath(QStringLiteral("data"));
    }

    std::unique_ptr<TrayWindow> makeWindow(bool answerYes = true) {
        m_services.answerYes = answerYes;
        return std::make_unique<TrayWindow>(TrayWindow::Context{.state = m_state,
                                                                .settingsStore = m_store,
                                                                .paths = m_paths,
                                                                .tips = m_tips,
                                                                .slideShow = m_slideShow,
                                                                .services = m_services,
                                                                .pictures = m_pictures});
    }

    QAction* menuAction(const QString& text, TrayWindow& window) {
        for (QAction* action : window.menu()->actions())
            if (action->text() == text)
                return action;
        return nullptr;
    }

    QTemporaryDir m_dir;
    IniProfile m_profile{m_dir.filePath(QStringLiteral("t.ini"))};
    SettingsStore m_store{m_profile, QStringLiteral("/pictures")};
    AppPaths m_paths;
    SlideShowState m_state;
    TipChannel m_tips;
    Events m_events;
    RecordingSlideShow m_slideShow{m_events};
    RecordingServices m_services{m_events};
    RecordingShell m_shell;
    PictureActions m_pictures{{.state = m_state,
                               .shell = m_shell,
                               .resolveShortcut = [](const QString& path) { return path; },
                               .fileListPath = m_paths.fileListPath,
                               .excludedListPath = m_paths.excludedListPath,
                               .changeNow = [this] { m_events.push_back("change"); }}};
};

TEST_F(TrayWindowTest, StartRecordsWallpaperLoadsEverythingThenStartsTheWorker) {
    auto window = makeWindow();
    EXPECT_EQ(m_events, (Events{"store", "start"}));
    EXPECT_TRUE(m_state.listsLoaded());
    EXPECT_EQ(m_state.settings().StartPath, QStringLiteral("/pictures"));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Hide"));
    EXPECT_EQ(window->size(), QSize(300, 60));
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->tip(), QStringLiteral("Tessaron"));
    QFile fileList(m_paths.fileListPath);
    EXPECT_EQ(fileList.size(), 4);
    EXPECT_EQ(QFile(m_paths.urlListPath).size(), 4);
    QStringList texts;
    for (QAction* action : window->menu()->actions())
        if (action->isVisible())
            texts << action->text();
    EXPECT_EQ(texts, (QStringList{"Tessaron Properties", "Change now", "Suspend", "About Tessaron",
                                  "Previous picture", "Recent pictures", "", "Exit"}));
}

TEST_F(TrayWindowTest, ThePictureOnTheScreenHasASubmenuAndTheHistoryItsEntries) {
    auto window = makeWindow();
    const QString picture = m_dir.filePath(QStringLiteral("sea.jpg"));
    QFile(picture).open(QIODevice::WriteOnly);
    m_state.modify([&](SlideShowState::Data& d) {
        d.history.record({{PictureKind::FolderWalk, picture, {}, picture, {}, {}}});
        d.history.record({{PictureKind::UrlList, "ftp://s/dunes.gif", {}, {}, {}, {}},
                          {PictureKind::FileList, picture, {}, picture, {}, {}}});
    });
    window->applyTip(QStringLiteral("Tessaron - dunes.gif, sea.jpg"));
    // A submenu for each picture on the screen, after "Recent pictures"; a server's picture
    // has no folder and nothing for the trash.
    const QList<QAction*> actions = window->menu()->actions();
    const auto entries = [](QAction* action) {
        QStringList texts;
        for (QAction* entry : action->menu()->actions())
            texts << entry->text();
        return texts;
    };
    ASSERT_EQ(actions.size(), 10);
    EXPECT_EQ(actions[6]->text(), "dunes.gif");
    EXPECT_EQ(entries(actions[6]),
              (QStringList{"Open picture", "Copy to Favourites", "Never show again"}));
    EXPECT_EQ(actions[7]->text(), "sea.jpg");
    EXPECT_EQ(entries(actions[7]),
              (QStringList{"Open picture", "Show in folder", "Copy to Favourites", "Move to trash",
                           "Never show again"}));
    EXPECT_EQ(entries(actions[5]), (QStringList{"dunes.gif, sea.jpg", "sea.jpg"}));
    actions[7]->menu()->actions()[1]->trigger();
    EXPECT_EQ(m_shell.calls, QStringList{"show " + picture});

    // Going back asks for the change before at once; so does a recent one.
    m_events.clear();
    menuAction(QStringLiteral("Previous picture"), *window)->trigger();
    actions[5]->menu()->actions()[0]->trigger();
    EXPECT_EQ(m_events, (Events{"change", "change"}));
}

TEST_F(TrayWindowTest, MenuCommandsDriveTheSlideShow) {
    auto window = makeWindow();
    m_events.clear();
    menuAction(QStringLiteral("Change now"), *window)->trigger();
    EXPECT_EQ(m_events, Events{"change"});

    QAction* suspend = menuAction(QStringLiteral("Suspend"), *window);
    suspend->trigger();
    EXPECT_TRUE(window->suspended());
    emit window->menu()->aboutToShow();
    EXPECT_TRUE(suspend->isChecked());

    // Suspended: ticks do not change, Change now still does.
    m_events.clear();
    m_state.modify([](SlideShowState::Data& d) { d.settings.Minute = 0; });
    window->tick();
    window->tick();
    EXPECT_TRUE(m_events.empty());
    window->changeNow();
    EXPECT_EQ(m_events, Events{"change"});
}

TEST_F(TrayWindowTest, ALockOrTheBatteryHoldsTheCountAsTheSettingsSay) {
    auto window = makeWindow();
    m_state.modify([](SlideShowState::Data& d) {
        d.settings.Minute = 0;
        d.settings.Seconds = 3;
        d.currentPicture = QStringLiteral("/p/a.jpg");
    });
    m_events.clear();
    window->tick();
    // The battery pauses nothing until the user asks for it; a lock does by default.
    window->setOnBattery(true);
    window->setScreenLocked(true);
    for (int i = 0; i < 10; ++i)
        window->tick();
    EXPECT_TRUE(m_events.empty());
    TrayWindow::Status status = window->status();
    EXPECT_TRUE(status.pausedBy.screenLocked);
    EXPECT_FALSE(status.pausedBy.onBattery);
    EXPECT_FALSE(status.suspended);
    EXPECT_EQ(status.secondsToNextChange, 2u);
    EXPECT_EQ(status.currentPicture, QStringLiteral("/p/a.jpg"));

    // Unlocked, the count goes on where it stood: no change at once.
    window->setScreenLocked(false);
    window->tick();
    EXPECT_TRUE(m_events.empty());
    window->tick();
    EXPECT_EQ(m_events, Events{"change"});

    m_state.modify([](SlideShowState::Data& d) { d.settings.PauseOnBattery = 1; });
    window->setSuspended(true);
    status = window->status();
    EXPECT_TRUE(status.pausedBy.onBattery);
    EXPECT_TRUE(status.suspended);
    EXPECT_TRUE(menuAction(QStringLiteral("Suspend"), *window)->isChecked());
}

TEST_F(TrayWindowTest, ApplyRestartsOnlyForANewStartPathAndSavesAll) {
    auto window = makeWindow();
    // An edit of the first run, in a folder that did not exist before the start.
    m_state.setLists({*ListEntry::fromText("/a.jpg")}, {*ListEntry::fromText("ftp://h/b.jpg")});
    m_state.modify([](SlideShowState::Data& d) { d.settings.CurScanFolderPos = 7; });
    m_events.clear();

    WallpaperSettings values = m_state.settings();
    values.Minute = 3;
    values.CurFileListPos = 99; // positions are not the dialog's to set
    window->apply(values);
    EXPECT_EQ(m_events, Events{"autorun on"});
    EXPECT_EQ(m_state.settings().Minute, 3u);
    EXPECT_EQ(m_state.settings().CurFileListPos, 0);
    EXPECT_EQ(m_store.load().Minute, 3u);
    EXPECT_EQ(ListFile::load(m_paths.fileListPath).size(), 1u);
    EXPECT_EQ(ListFile::load(m_paths.urlListPath).size(), 1u);
    EXPECT_EQ(m_state.settings().CurScanFolderPos, 7);

    // A new folder starts at its first picture.
    m_events.clear();
    values.StartPath = QStringLiteral("/PICTURES");
    values.AutoRun = 0;
    window->apply(values);
    EXPECT_EQ(m_events, (Events{"restart", "autorun off"}));
    EXPECT_EQ(m_state.settings().CurScanFolderPos, 0);
    EXPECT_EQ(m_store.load().CurScanFolderPos, 0);

    // A session save (log-out or checkpoint) saves and keeps running.
    m_state.modify([](SlideShowState::Data& d) { d.settings.CurScanFolderPos = 5; });
    window->saveSession();
    EXPECT_EQ(m_store.load().CurScanFolderPos, 5);
    EXPECT_FALSE(window->hasEnded());
}

TEST_F(TrayWindowTest, DialogsOpenFromAQueuedCallAndASecondRequestRaisesTheOpenOne) {
    auto window = makeWindow();
    m_events.clear();
    m_services.whileOpen = [&] { window->showProperties(); };
    window->showProperties();
    // The request returns before the dialog runs.
    EXPECT_TRUE(m_events.empty());
    QCoreApplication::processEvents();
    EXPECT_EQ(m_events, (Events{"properties", "raise", "autorun on"}));

    m_events.clear();
    window->showAbout();
    window->showAbout();
    QCoreApplication::processEvents();
    EXPECT_EQ(m_events, (Events{"raise", "about"}));
}

TEST_F(TrayWindowTest, ExitStopsTheWorkerSavesAsksAndRestoresInOrder) {
    if (underWine())
        GTEST_SKIP() << "the INI profile this test saves is the Linux one; on Windows the profile "
                        "is the registry";
    auto window = makeWindow(true);
    QSignalSpy ended(window.get(), &TrayWindow::ended);
    m_state.setLists({*ListEntry::fromText("/a.jpg"), *ListEntry::fromText("/b.jpg")}, {});
    m_state.modify([](SlideShowState::Data& d) { d.settings.CurFileListPos = 1; });
    m_slideShow.whileStopping = [this] {
        m_state.modify([](SlideShowState::Data& d) { d.settings.CurScanFolderPos = 8; });
    };
    m_events.clear();

    menuAction(QStringLiteral("Exit"), *window)->trigger();

    EXPECT_EQ(m_events, (Events{"stop", "autorun on", "ask", "restore"}));
    EXPECT_EQ(ended.count(), 1);
    EXPECT_FALSE(window->trayIcon()->isVisible());
    EXPECT_TRUE(m_state.fileList().empty());
    EXPECT_EQ(ListFile::load(m_paths.fileListPath).size(), 2u);
    EXPECT_EQ(m_store.load().CurFileListPos, 1);
    // The position of a change the worker finished on its way out is saved too.
    EXPECT_EQ(m_store.load().CurScanFolderPos, 8);
    EXPECT_TRUE(QFile::exists(m_profile.fileName()));
}

TEST_F(TrayWindowTest, ExitAnsweredNoKeepsTheWallpaperAndSessionEndDoesNotAsk) {
    {
        auto window = makeWindow(false);
        m_events.clear();
        window->exitProgram();
        EXPECT_EQ(m_events, (Events{"stop", "autorun on", "ask"}));
    }
    auto window = makeWindow(true);
    m_events.clear();
    window->endSession();
    EXPECT_EQ(m_events, (Events{"stop", "autorun on"}));
    EXPECT_TRUE(window->hasEnded());
}

TEST_F(TrayWindowTest, TipsFromAnotherThreadAreCutAndDroppedOnceTheWindowIsGone) {
    auto window = makeWindow();
    const QString longName = QStringLiteral("Tessaron - ") + QString(80, QLatin1Char('x')) +
                             QString::fromUcs4(U"\U0001F600");
    std::thread([this, longName] { m_tips.post(longName); }).join();
    QCoreApplication::processEvents();
    EXPECT_EQ(window->tip().toUcs4().size(), 63);
    EXPECT_TRUE(longName.startsWith(window->tip()));

    window.reset();
    std::thread([this] { m_tips.post(QStringLiteral("Tessaron - late.jpg")); }).join();
    QCoreApplication::processEvents();
}

} // namespace
