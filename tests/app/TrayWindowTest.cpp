#include "app/TrayWindow.h"
#include "app/ListFile.h"
#include "app/SettingsStore.h"
#include "platform/AppPaths.h"
#include "platform/QSettingsProfile.h"
#include "tests/support/QtTestApp.h"
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
    void stop(std::chrono::milliseconds) override { m_events.push_back("stop"); }

private:
    Events& m_events;
};

class TrayWindowTest : public ::testing::Test {
protected:
    TrayWindowTest() {
        ensureQtApplication();
        m_paths.fileListPath = m_dir.filePath(QStringLiteral("t.txt"));
        m_paths.urlListPath = m_dir.filePath(QStringLiteral("t_Url.txt"));
    }

    std::unique_ptr<TrayWindow> makeWindow(bool answerYes = true) {
        TrayWindow::Context context{.state = m_state,
                                    .settingsStore = m_store,
                                    .paths = m_paths,
                                    .tips = m_tips,
                                    .slideShow = &m_slideShow};
        context.storeOldWallpaper = [this] { m_events.push_back("store"); };
        context.restoreOldWallpaper = [this] { m_events.push_back("restore"); };
        context.updateAutorun = [this](bool on) {
            m_events.push_back(on ? "autorun on" : "autorun off");
        };
        context.askRestoreOldWallpaper = [this, answerYes] {
            m_events.push_back("ask");
            return answerYes;
        };
        return std::make_unique<TrayWindow>(std::move(context));
    }

    QAction* menuAction(const QString& text, TrayWindow& window) {
        for (QAction* action : window.menu()->actions())
            if (action->text() == text)
                return action;
        return nullptr;
    }

    QTemporaryDir m_dir;
    QSettingsProfile m_profile{m_dir.filePath(QStringLiteral("t.ini"))};
    SettingsStore m_store{m_profile, QStringLiteral("/pictures")};
    AppPaths m_paths;
    SlideShowState m_state;
    TipChannel m_tips;
    Events m_events;
    RecordingSlideShow m_slideShow{m_events};
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
    QStringList texts;
    for (QAction* action : window->menu()->actions())
        texts << action->text();
    EXPECT_EQ(texts, (QStringList{"Tessaron Properties", "Change now", "Suspend", "About Tessaron",
                                  "", "Exit"}));
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

TEST_F(TrayWindowTest, ApplyRestartsOnlyForANewStartPathAndSavesAll) {
    auto window = makeWindow();
    m_state.setLists({*ListEntry::fromText("/a.jpg")}, {});
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

    m_events.clear();
    values.StartPath = QStringLiteral("/PICTURES");
    values.AutoRun = 0;
    window->apply(values);
    EXPECT_EQ(m_events, (Events{"restart", "autorun off"}));
}

TEST_F(TrayWindowTest, ExitSavesStopsTheWorkerAsksAndRestoresInOrder) {
    auto window = makeWindow(true);
    QSignalSpy ended(window.get(), &TrayWindow::ended);
    m_state.setLists({*ListEntry::fromText("/a.jpg"), *ListEntry::fromText("/b.jpg")}, {});
    m_state.modify([](SlideShowState::Data& d) { d.settings.CurFileListPos = 1; });
    m_events.clear();

    menuAction(QStringLiteral("Exit"), *window)->trigger();

    EXPECT_EQ(m_events, (Events{"autorun on", "stop", "ask", "restore"}));
    EXPECT_EQ(ended.count(), 1);
    EXPECT_FALSE(window->trayIcon()->isVisible());
    EXPECT_TRUE(m_state.fileList().empty());
    EXPECT_EQ(ListFile::load(m_paths.fileListPath).size(), 2u);
    EXPECT_EQ(m_store.load().CurFileListPos, 1);
    EXPECT_TRUE(QFile::exists(m_profile.fileName()));
}

TEST_F(TrayWindowTest, ExitAnsweredNoKeepsTheWallpaperAndSessionEndDoesNotAsk) {
    {
        auto window = makeWindow(false);
        m_events.clear();
        window->exitProgram();
        EXPECT_EQ(m_events, (Events{"autorun on", "stop", "ask"}));
    }
    auto window = makeWindow(true);
    m_events.clear();
    window->endSession();
    EXPECT_EQ(m_events, (Events{"autorun on", "stop"}));
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
