// The real program on a real headless sway with a bar, as a user of a Wayland desktop meets it:
// a native Wayland client, its icon in swaybar's tray, driven through the icon's menu.
#include "tests/support/PictureFiles.h"
#include "tests/support/ProgramUnderTest.h"
#include "tests/support/QtTestApp.h"
#include "tests/support/RootWindow.h"
#include "tests/support/SniWatcher.h"
#include "tests/support/SwaySession.h"

#include <QDBusInterface>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <gtest/gtest.h>

#include <unistd.h>

namespace {

const QColor kRed(220, 20, 20);
const QColor kGreen(20, 200, 20);
constexpr int kBoundMs = 60000;

// Whether the bar at the top right shows the icon: its orange and blue quarters.
bool barShowsIcon(const QImage& shot) {
    bool orange = false, blue = false;
    for (int y = 0; y < 30 && y < shot.height(); ++y)
        for (int x = shot.width() - 60; x < shot.width(); ++x) {
            orange = orange || nearColour(shot.pixelColor(x, y), QColor(0xf2, 0xb1, 0x34), 30);
            blue = blue || nearColour(shot.pixelColor(x, y), QColor(0x4f, 0xb0, 0xc6), 30);
        }
    return orange && blue;
}

// The user's profile, scanning `pictures`, owned by the user.
bool writeUserProfile(const ProgramUnderTest& program, const SwaySession& sway,
                      const QString& pictures) {
    const QString config = program.userHome() + QStringLiteral("/.config/Halvik");
    QDir().mkpath(config);
    {
        QSettings profile(config + QStringLiteral("/tessaron.ini"), QSettings::IniFormat);
        profile.setValue(QStringLiteral("Settings/StartPath"), pictures);
        profile.setValue(QStringLiteral("Settings/AutoRun"), 0);
    }
    for (const QString& path : {config, config + QStringLiteral("/tessaron.ini")})
        if (::chown(QFile::encodeName(path).constData(), sway.uid(), sway.uid()) != 0)
            return false;
    return true;
}

TEST(SwayDesktopTest, FromStartToExitAsANativeClientWithItsIconInSwaybar) {
    ensureQtApplication();
    SwaySession sway({{{800, 600}, {0, 0}, 1}}, {}, true);
    ASSERT_TRUE(sway.isRunning()) << sway.failure().toStdString();
    ProgramUnderTest program;
    program.runAsUser(sway.uid());
    // No toolkit platform is named: the program takes Wayland first, even beside an X display
    // (here one it cannot reach).
    sway.addClientEnvironment(program.environment());
    program.environment().insert(QStringLiteral("DISPLAY"), QStringLiteral(":4093"));
    const QString pictures = program.dir() + QStringLiteral("/Pictures");
    ASSERT_TRUE(writeSolidPicture(pictures + "/a.bmp", kRed, 200, 150));
    ASSERT_TRUE(writeSolidPicture(pictures + "/b.bmp", kGreen, 200, 150));
    ASSERT_TRUE(writeUserProfile(program, sway, pictures));
    ASSERT_FALSE(barShowsIcon(sway.grab("HEADLESS-1")));

    std::unique_ptr<QProcess> process = program.start();
    const auto centreIs = [&](const QColor& colour) {
        return waitUntil(
            [&] {
                const QImage shot = sway.grab("HEADLESS-1");
                return !shot.isNull() && nearColour(shot.pixelColor(400, 300), colour);
            },
            kBoundMs);
    };
    // The first change comes at once; the icon registers with swaybar and is drawn in the bar.
    EXPECT_TRUE(centreIs(kRed)) << process->readAllStandardError().constData();
    const QDBusConnection bus = sway.bus();
    QDBusInterface watcher(QStringLiteral("org.kde.StatusNotifierWatcher"),
                           QStringLiteral("/StatusNotifierWatcher"),
                           QStringLiteral("org.kde.StatusNotifierWatcher"), bus);
    QString item;
    ASSERT_TRUE(waitUntil([&] {
        item = watcher.property("RegisteredStatusNotifierItems").toStringList().value(0);
        return !item.isEmpty();
    }));
    EXPECT_TRUE(waitUntil([&] { return barShowsIcon(sway.grab("HEADLESS-1")); }));
    // swaybar is the watcher; this one only reads the icon and picks its menu as swaybar would.
    SniWatcher icon(bus);
    EXPECT_TRUE(waitUntil([&] { return icon.toolTip(item) == "Tessaron - a.bmp"; }))
        << icon.toolTip(item).toStdString();

    // No work area on sway: the screen, whatever the bar takes.
    auto status = program.start({QStringLiteral("--status")});
    ASSERT_TRUE(waitForExit(*status));
    EXPECT_TRUE(status->readAllStandardOutput().contains(
        "Screens: HEADLESS-1 800x600+0+0, work area 800x600+0+0"));
    // A second copy on the same desktop leaves at once, silently.
    auto second = program.start();
    ASSERT_TRUE(waitForExit(*second));
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_TRUE(second->readAllStandardError().isEmpty());

    ASSERT_TRUE(icon.clickMenuItem(item, QStringLiteral("Change now")));
    EXPECT_TRUE(centreIs(kGreen));

    // Exit asks in a window of sway's own; closing it answers No and keeps the picture.
    const std::vector<int> ownSwaybg = SwaySession::swaybgsOf(process->processId());
    ASSERT_EQ(ownSwaybg.size(), 1u);
    ASSERT_TRUE(icon.clickMenuItem(item, QStringLiteral("Exit")));
    EXPECT_TRUE(waitUntil([&] {
        QByteArray tree;
        return sway.swaymsg({QStringLiteral("-t"), QStringLiteral("get_tree")}, &tree) == 0 &&
               tree.contains("\"name\": \"Question\"");
    }));
    EXPECT_EQ(sway.swaymsg({QStringLiteral("[title=\"^Question$\"]"), QStringLiteral("kill")}), 0);
    ASSERT_TRUE(waitForExit(*process));
    EXPECT_EQ(process->exitCode(), 0);
    EXPECT_FALSE(QFile::exists(QStringLiteral("/proc/%1").arg(ownSwaybg.front())));
    EXPECT_TRUE(centreIs(kGreen));
}

TEST(SwayDesktopTest, TenChangesThenThreeTimesBackShowThePicturesInOrder) {
    ensureQtApplication();
    // With a bar: the desktop then has a session bus the user can reach.
    SwaySession sway({{{400, 300}, {0, 0}, 1}}, {}, true);
    ASSERT_TRUE(sway.isRunning()) << sway.failure().toStdString();
    ProgramUnderTest program;
    program.runAsUser(sway.uid());
    sway.addClientEnvironment(program.environment());
    const QString pictures = program.dir() + QStringLiteral("/Pictures");
    std::vector<QColor> colours;
    for (int i = 0; i < 10; ++i) {
        colours.push_back(QColor::fromHsv(i * 36, 255, 220));
        ASSERT_TRUE(
            writeSolidPicture(pictures + QStringLiteral("/p%1.bmp").arg(i), colours[i], 400, 300));
    }
    ASSERT_TRUE(writeUserProfile(program, sway, pictures));
    std::unique_ptr<QProcess> process = program.start();
    const auto shows = [&](int i) {
        return waitUntil(
            [&] {
                const QImage shot = sway.grab("HEADLESS-1");
                return !shot.isNull() && nearColour(shot.pixelColor(200, 200), colours[i]);
            },
            kBoundMs);
    };
    const auto command = [&](const char* option) {
        auto run = program.start({QString::fromLatin1(option)});
        return waitForExit(*run) && run->exitCode() == 0;
    };
    ASSERT_TRUE(shows(0)) << process->readAllStandardError().constData();
    for (int i = 1; i < 10; ++i) {
        ASSERT_TRUE(command("--next"));
        ASSERT_TRUE(shows(i)) << i;
    }
    for (int i = 8; i >= 6; --i) {
        ASSERT_TRUE(command("--previous"));
        ASSERT_TRUE(shows(i)) << i;
    }
    process->terminate();
    ASSERT_TRUE(waitForExit(*process));
}

} // namespace
