#include "tests/support/DesktopSession.h"
#include "tests/support/QtTestApp.h"

#include <QFile>
#include <QSettings>
#include <gtest/gtest.h>

namespace {

QStringList labels(const std::vector<SniWatcher::MenuItem>& items) {
    QStringList result;
    for (const auto& item : items)
        result << (item.separator ? QStringLiteral("-") : item.label);
    return result;
}

bool checked(const std::vector<SniWatcher::MenuItem>& items, const QString& label) {
    for (const auto& item : items)
        if (item.label == label)
            return item.checked;
    return false;
}

// Answers the exit question on the test's display the way a user would, with the keyboard.
bool answerQuestion(const DesktopSession& session, const char* key) {
    return waitUntil([&] {
        QByteArray windows;
        if (session.runOnDisplay(
                QStringLiteral("xdotool"),
                {QStringLiteral("search"), QStringLiteral("--name"), QStringLiteral("^Question$")},
                &windows) != 0)
            return false;
        const QString window = QString::fromLatin1(windows.split('\n').first());
        return session.runOnDisplay(QStringLiteral("xdotool"),
                                    {QStringLiteral("key"), QStringLiteral("--window"), window,
                                     QString::fromLatin1(key)}) == 0;
    });
}

TEST(TrayIconTest, IconShowsTipAndMenuAndExitsThroughItsMenu) {
    ensureQtApplication();
    DesktopSession session;
    ASSERT_TRUE(session.isReady());
    std::unique_ptr<QProcess> process;
    const QString icon = session.startAndWaitForIcon(process);
    ASSERT_FALSE(icon.isEmpty());

    EXPECT_TRUE(waitUntil([&] { return session.tray().toolTip(icon).startsWith("Tessaron"); }));
    EXPECT_EQ(labels(session.tray().menu(icon)),
              (QStringList{"Tessaron Properties", "Change now", "Suspend", "About Tessaron", "-",
                           "Exit"}));

    EXPECT_FALSE(checked(session.tray().menu(icon), QStringLiteral("Suspend")));
    ASSERT_TRUE(session.tray().clickMenuItem(icon, QStringLiteral("Suspend")));
    EXPECT_TRUE(
        waitUntil([&] { return checked(session.tray().menu(icon), QStringLiteral("Suspend")); }));

    ASSERT_TRUE(session.tray().clickMenuItem(icon, QStringLiteral("Exit")));
    ASSERT_TRUE(answerQuestion(session, "alt+n"));
    ASSERT_TRUE(process->waitForFinished(20000));
    EXPECT_EQ(process->exitCode(), 0);
    QSettings profile(session.program().profilePath(), QSettings::IniFormat);
    EXPECT_EQ(profile.value(QStringLiteral("Settings/AutoRun")).toString(), QStringLiteral("1"));
}

} // namespace
