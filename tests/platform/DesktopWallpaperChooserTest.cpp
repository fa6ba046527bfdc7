#include "platform/linux/DesktopWallpaperChooser.h"
#include "tests/support/PrivateSessionBus.h"
#include "tests/support/QtTestApp.h"
#include "tests/support/XvfbServer.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

QProcessEnvironment environment(std::initializer_list<std::pair<const char*, QString>> values) {
    QProcessEnvironment result;
    for (const auto& [name, value] : values)
        result.insert(QString::fromLatin1(name), value);
    return result;
}

QStringList candidates(const QProcessEnvironment& env) {
    return DesktopWallpaperChooser(env, QDir::tempPath(), QDBusConnection(QStringLiteral("none")))
        .candidates();
}

TEST(DesktopWallpaperChooserTest, SessionNamesPickBackendsInOrder) {
    const auto list = [](std::initializer_list<const char*> names) {
        QStringList result;
        for (const char* name : names)
            result << QString::fromLatin1(name);
        return result;
    };
    EXPECT_EQ(candidates(environment({{"XDG_CURRENT_DESKTOP", QStringLiteral("ubuntu:GNOME")},
                                      {"DISPLAY", QStringLiteral(":0")}})),
              list({"gnome", "x11"}));
    EXPECT_EQ(candidates(environment({{"XDG_CURRENT_DESKTOP", QStringLiteral("X-Cinnamon")}})),
              list({"cinnamon"}));
    EXPECT_EQ(candidates(environment({{"XDG_CURRENT_DESKTOP", QStringLiteral("KDE")},
                                      {"XDG_SESSION_DESKTOP", QStringLiteral("xfce")},
                                      {"DESKTOP_SESSION", QStringLiteral("mate")}})),
              list({"plasma", "xfce", "mate"}));
    EXPECT_EQ(candidates(environment({{"XDG_CURRENT_DESKTOP", QStringLiteral("Budgie:GNOME")}})),
              list({"gnome"}));
    EXPECT_EQ(candidates(environment({{"XDG_SESSION_DESKTOP", QStringLiteral("XFCE")}})),
              list({"xfce"}));
    EXPECT_EQ(candidates(environment({{"XDG_CURRENT_DESKTOP", QStringLiteral("Hyprland")},
                                      {"SWAYSOCK", QStringLiteral("/run/sway.sock")},
                                      {"DISPLAY", QStringLiteral(":1")}})),
              list({"sway", "x11"}));
    EXPECT_TRUE(
        candidates(environment({{"XDG_CURRENT_DESKTOP", QStringLiteral("unknown")}})).isEmpty());
}

TEST(DesktopWallpaperChooserTest, ProbeFailuresFallThroughToTheNextDesktop) {
    ensureQtApplication();
    PrivateSessionBus bus; // no shell on it
    XvfbServer xvfb;
    ASSERT_TRUE(xvfb.isRunning());
    const auto choose = [&](const QProcessEnvironment& env) {
        return DesktopWallpaperChooser(env, QDir::tempPath(), bus.connection()).choose()->name();
    };
    EXPECT_EQ(choose(environment({{"XDG_CURRENT_DESKTOP", QStringLiteral("KDE:GNOME")}})),
              QStringLiteral("gnome"));
    EXPECT_EQ(choose(environment(
                  {{"XDG_CURRENT_DESKTOP", QStringLiteral("KDE")}, {"DISPLAY", xvfb.display()}})),
              QStringLiteral("x11"));
    EXPECT_EQ(choose(environment({{"XDG_CURRENT_DESKTOP", QStringLiteral("KDE")},
                                  {"DISPLAY", QStringLiteral(":4093")}})),
              QStringLiteral("none"));
    EXPECT_EQ(choose(environment({})), QStringLiteral("none"));
}

} // namespace
