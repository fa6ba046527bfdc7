#include "platform/linux/DBusScreenLockWatcher.h"
#include "tests/support/FakeBusService.h"
#include "tests/support/PrivateSessionBus.h"
#include "tests/support/ProgramUnderTest.h"
#include "tests/support/QtTestApp.h"

#include <QDBusObjectPath>
#include <gtest/gtest.h>

namespace {

const QString kFreedesktop = QStringLiteral("org.freedesktop.ScreenSaver");
const QString kFreedesktopPath = QStringLiteral("/org/freedesktop/ScreenSaver");
const QString kGnome = QStringLiteral("org.gnome.ScreenSaver");
const QString kGnomePath = QStringLiteral("/org/gnome/ScreenSaver");
const QString kLogin = QStringLiteral("org.freedesktop.login1");
const QString kSessionPath = QStringLiteral("/org/freedesktop/login1/session/_32");
const QString kSession = QStringLiteral("org.freedesktop.login1.Session");

void setActive(FakeBusService& saver, const QString& path, const QString& interface, bool active) {
    saver.setReply(path, interface, QStringLiteral("GetActive"), {active});
    saver.emitSignal(path, interface, QStringLiteral("ActiveChanged"), {active});
}

// Screen savers on a private session bus and logind on a private bus standing in for the
// system bus, each at its real interface.
TEST(ScreenLockWatcherTest, FollowsEveryScreenSaverAndTheLoginSession) {
    ensureQtApplication();
    PrivateSessionBus sessionBus;
    PrivateSessionBus systemBus;
    ASSERT_TRUE(sessionBus.isRunning() && systemBus.isRunning());

    FakeBusService logind(systemBus.address());
    logind.setReply(QStringLiteral("/org/freedesktop/login1"), kLogin + ".Manager",
                    QStringLiteral("GetSession"),
                    {QVariant::fromValue(QDBusObjectPath(kSessionPath))});
    logind.setProperty(kSessionPath, kSession, QStringLiteral("LockedHint"), false);
    // Already active when the watcher starts.
    FakeBusService saver(sessionBus.address());
    saver.setReply(kFreedesktopPath, kFreedesktop, QStringLiteral("GetActive"), {true});
    ASSERT_TRUE(logind.own(kLogin) && saver.own(kFreedesktop));

    DBusScreenLockWatcher watcher(sessionBus.connection(), systemBus.connection(), QString());
    std::vector<bool> reports;
    QObject::connect(&watcher, &ScreenLockWatcher::lockedChanged,
                     [&](bool locked) { reports.push_back(locked); });
    watcher.start();
    ASSERT_TRUE(waitUntil([&] { return watcher.locked(); }));

    setActive(saver, kFreedesktopPath, kFreedesktop, false);
    ASSERT_TRUE(waitUntil([&] { return !watcher.locked(); }));
    logind.setProperty(kSessionPath, kSession, QStringLiteral("LockedHint"), true);
    ASSERT_TRUE(waitUntil([&] { return watcher.locked(); }));
    logind.setProperty(kSessionPath, kSession, QStringLiteral("LockedHint"), false);
    ASSERT_TRUE(waitUntil([&] { return !watcher.locked(); }));

    // A screen saver that comes later is asked at once; one that ends unlocks.
    FakeBusService gnome(sessionBus.address());
    gnome.setReply(kGnomePath, kGnome, QStringLiteral("GetActive"), {true});
    ASSERT_TRUE(gnome.own(kGnome));
    ASSERT_TRUE(waitUntil([&] { return watcher.locked(); }));
    gnome.leave();
    ASSERT_TRUE(waitUntil([&] { return !watcher.locked(); }));
    EXPECT_EQ(reports, (std::vector<bool>{true, false, true, false, true, false}));
}

} // namespace
