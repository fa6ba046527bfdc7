#include "tests/support/DesktopSession.h"
#include "tests/support/QtTestApp.h"

#include <QFile>
#include <QSettings>
#include <gtest/gtest.h>

namespace {

QStringList labels(const std::vector<SniWatcher::MenuItem>& items) {
    QStringList result;
    for (const auto& item : items)
        if (item.visible)
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
// The window id of the "Question" message box, or empty while there is none.
QString questionWindow(const DesktopSession& session) {
    QByteArray windows;
    if (session.runOnDisplay(
            QStringLiteral("xdotool"),
            {QStringLiteral("search"), QStringLiteral("--name"), QStringLiteral("^Question$")},
            &windows) != 0)
        return {};
    return QString::fromLatin1(windows.split('\n').first());
}

// Sends `key` to the question until it goes away. The answer may close the window between the
// key's press and release, so xdotool's own status says nothing.
bool answerQuestion(const DesktopSession& session, const char* key) {
    bool sent = false;
    return waitUntil([&] {
        const QString window = questionWindow(session);
        if (window.isEmpty())
            return sent;
        session.runOnDisplay(
            QStringLiteral("xdotool"),
            {QStringLiteral("key"), QStringLiteral("--window"), window, QString::fromLatin1(key)});
        sent = true;
        return false;
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
              (QStringList{"Tessaron Properties", "Change now", "Suspend", "About Tessaron",
                           "Previous picture", "Recent pictures", "-", "Exit"}));

    EXPECT_FALSE(checked(session.tray().menu(icon), QStringLiteral("Suspend")));
    ASSERT_TRUE(session.tray().clickMenuItem(icon, QStringLiteral("Suspend")));
    EXPECT_TRUE(
        waitUntil([&] { return checked(session.tray().menu(icon), QStringLiteral("Suspend")); }));

    // A click on the icon is answered at once while the Properties dialog opens; a second
    // click opens no second dialog.
    const auto propertiesWindows = [&] {
        QByteArray ids;
        session.runOnDisplay(QStringLiteral("xdotool"),
                             {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                              QStringLiteral("--name"), QStringLiteral("^Tessaron Properties$")},
                             &ids);
        return ids.count('\n');
    };
    EXPECT_TRUE(session.tray().activate(icon, 5000));
    ASSERT_TRUE(waitUntil([&] { return propertiesWindows() == 1; }));
    EXPECT_TRUE(session.tray().activate(icon, 5000));
    EXPECT_EQ(propertiesWindows(), 1);

    // Exit while the dialog is open ends the dialog, then asks.
    ASSERT_TRUE(session.tray().clickMenuItem(icon, QStringLiteral("Exit")));
    ASSERT_TRUE(answerQuestion(session, "alt+n"));
    ASSERT_TRUE(waitForExit(*process));
    EXPECT_EQ(process->exitCode(), 0);
    QSettings profile(session.program().profilePath(), QSettings::IniFormat);
    EXPECT_EQ(profile.value(QStringLiteral("Settings/AutoRun")).toString(), QStringLiteral("1"));
}

} // namespace

namespace {

QStringList visibleProgramWindowIds(const DesktopSession& session) {
    QByteArray ids;
    session.runOnDisplay(QStringLiteral("xdotool"),
                         {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                          QStringLiteral("--classname"), QStringLiteral("tessaron")},
                         &ids);
    return QString::fromLatin1(ids).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

int windowHeight(const DesktopSession& session, const QString& window) {
    QByteArray geometry;
    session.runOnDisplay(QStringLiteral("xdotool"), {QStringLiteral("getwindowgeometry"), window},
                         &geometry);
    const qsizetype x = geometry.indexOf('x', geometry.indexOf("Geometry: "));
    return x < 0 ? 0 : geometry.mid(x + 1).trimmed().toInt();
}

int visibleProgramWindows(const DesktopSession& session) {
    return static_cast<int>(visibleProgramWindowIds(session).size());
}

TEST(TrayIconTest, XEmbedTrayIconShowsItsTipAndMenuOnClicks) {
    ensureQtApplication();
    DesktopSession session(DesktopSession::Tray::XEmbed);
    ASSERT_TRUE(session.isReady());
    std::unique_ptr<QProcess> process;
    const QString icon = session.startAndWaitForIcon(process);
    ASSERT_FALSE(icon.isEmpty());
    const auto xdotool = [&](const QStringList& arguments) {
        return session.runOnDisplay(QStringLiteral("xdotool"), arguments);
    };

    // Hovering shows the tip window.
    xdotool({"mousemove", "--window", icon, "10", "10"});
    xdotool({"mousemove", "--window", icon, "11", "12"});
    EXPECT_TRUE(waitUntil([&] { return visibleProgramWindows(session) >= 2; }));
    xdotool({"mousemove", "0", "400"});
    ASSERT_TRUE(waitUntil([&] { return visibleProgramWindows(session) == 1; }));

    // A right click opens the menu; its last item is Exit.
    xdotool({"mousemove", "--window", icon, "10", "10", "click", "3"});
    ASSERT_TRUE(waitUntil([&] { return visibleProgramWindows(session) >= 2; }));
    QStringList windows = visibleProgramWindowIds(session);
    windows.removeAll(icon);
    ASSERT_FALSE(windows.isEmpty());
    // Exit is the menu's last item. A freshly mapped menu may not take input yet, so the
    // click is repeated until the question shows.
    const QString menu = windows.first();
    const int height = windowHeight(session, menu);
    ASSERT_GT(height, 20);
    bool asked = false;
    for (int attempt = 0; attempt < 10 && !asked; ++attempt) {
        xdotool({"mousemove", "--window", menu, "20", QString::number(height - 8), "click", "1"});
        asked = waitUntil([&] { return questionWindow(session).size() > 0; }, 2000);
    }
    ASSERT_TRUE(asked);
    ASSERT_TRUE(answerQuestion(session, "Return"));
    ASSERT_TRUE(waitForExit(*process));
    EXPECT_EQ(process->exitCode(), 0);
}

} // namespace
