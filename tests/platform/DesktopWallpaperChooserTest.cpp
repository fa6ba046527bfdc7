#include "platform/linux/DesktopWallpaperChooser.h"
#include "tests/support/PrivateSessionBus.h"
#include "tests/support/QtTestApp.h"
#include "tests/support/XvfbServer.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

// The lines written to tessaron.wallpaper while it lives.
class WallpaperLog {
public:
    WallpaperLog() { m_previous = qInstallMessageHandler(&WallpaperLog::keep); }
    ~WallpaperLog() {
        qInstallMessageHandler(m_previous);
        lines().clear();
    }
    static QStringList& lines() {
        static QStringList kept;
        return kept;
    }
    // The lines since the last call.
    QStringList take() { return std::exchange(lines(), {}); }

private:
    static void keep(QtMsgType type, const QMessageLogContext& context, const QString& text) {
        if (qstrcmp(context.category, "tessaron.wallpaper") == 0)
            lines() << (type == QtInfoMsg ? QStringLiteral("info: ")
                                          : QStringLiteral("warning: ")) +
                           text;
    }
    QtMessageHandler m_previous = nullptr;
};

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

// One case for each row of the table: named by the session, or announced by its variable.
TEST(DesktopWallpaperChooserTest, EachRowIsPickedByTheSessionsNameOrItsVariableInOrder) {
    const auto list = [](std::initializer_list<const char*> names) {
        QStringList result;
        for (const char* name : names)
            result << QString::fromLatin1(name);
        return result;
    };
    const QString wayland = QStringLiteral("wayland-1");
    EXPECT_EQ(candidates(environment({{"XDG_CURRENT_DESKTOP", QStringLiteral("ubuntu:GNOME")},
                                      {"WAYLAND_DISPLAY", wayland},
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
    EXPECT_EQ(candidates(environment(
                  {{"XDG_CURRENT_DESKTOP", QStringLiteral("sway")}, {"WAYLAND_DISPLAY", wayland}})),
              list({"sway", "layer-shell"}));
    EXPECT_EQ(candidates(environment({{"XDG_CURRENT_DESKTOP", QStringLiteral("Hyprland")},
                                      {"HYPRLAND_INSTANCE_SIGNATURE", QStringLiteral("abc")},
                                      {"WAYLAND_DISPLAY", wayland},
                                      {"DISPLAY", QStringLiteral(":1")}})),
              list({"hyprland", "layer-shell", "x11"}));
    EXPECT_EQ(candidates(environment({{"XDG_CURRENT_DESKTOP", QStringLiteral("Hyprland")},
                                      {"SWAYSOCK", QStringLiteral("/run/sway.sock")},
                                      {"DISPLAY", QStringLiteral(":1")}})),
              list({"hyprland", "sway", "x11"}));
    EXPECT_EQ(candidates(environment({{"XDG_CURRENT_DESKTOP", QStringLiteral("river")},
                                      {"WAYLAND_DISPLAY", wayland},
                                      {"DISPLAY", QStringLiteral(":1")}})),
              list({"layer-shell", "x11"}));
    EXPECT_EQ(candidates(environment({{"XDG_CURRENT_DESKTOP", QStringLiteral("unknown")},
                                      {"DISPLAY", QStringLiteral(":1")}})),
              list({"x11"}));
    EXPECT_TRUE(
        candidates(environment({{"XDG_CURRENT_DESKTOP", QStringLiteral("unknown")}})).isEmpty());
}

TEST(DesktopWallpaperChooserTest, ProbeFailuresFallThroughToTheNextDesktop) {
    ensureQtApplication();
    PrivateSessionBus bus; // no shell on it
    XvfbServer xvfb;
    ASSERT_TRUE(xvfb.isRunning());
    WallpaperLog log;
    const auto choose = [&](const QProcessEnvironment& env) {
        return DesktopWallpaperChooser(env, QDir::tempPath(), bus.connection()).choose();
    };
    // One line at start names the choice and why the others were passed over.
    EXPECT_EQ(choose(environment({{"XDG_CURRENT_DESKTOP", QStringLiteral("KDE:GNOME")}}))->name(),
              QStringLiteral("gnome"));
    EXPECT_EQ(log.take(), QStringList(QStringLiteral(
                              "info: wallpaper backend gnome chosen for desktop \"KDE:GNOME\"; "
                              "passed over: plasma (org.kde.plasmashell is not on the session "
                              "bus)")));
    EXPECT_EQ(choose(environment({{"XDG_CURRENT_DESKTOP", QStringLiteral("KDE")},
                                  {"DISPLAY", xvfb.display()}}))
                  ->name(),
              QStringLiteral("x11"));
    EXPECT_EQ(log.take().size(), 1);
    // Hyprland without hyprpaper: the program's own swaybg.
    EXPECT_EQ(choose(environment({{"XDG_CURRENT_DESKTOP", QStringLiteral("Hyprland")},
                                  {"WAYLAND_DISPLAY", QStringLiteral("wayland-1")}}))
                  ->name(),
              QStringLiteral("layer-shell"));
    EXPECT_TRUE(log.take().value(0).endsWith(QStringLiteral("hyprland (hyprctl is not on PATH)")));

    const std::unique_ptr<DesktopWallpaper> none = choose(environment(
        {{"XDG_CURRENT_DESKTOP", QStringLiteral("KDE")}, {"DISPLAY", QStringLiteral(":4093")}}));
    EXPECT_EQ(none->name(), QStringLiteral("none"));
    QStringList lines = log.take();
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("warning: no wallpaper backend")))
        << lines[0].toStdString();
    EXPECT_TRUE(lines[0].contains(QStringLiteral("x11 (display :4093 cannot be opened")))
        << lines[0].toStdString();
    // Each change that cannot be made says so, once.
    EXPECT_FALSE(none->show({QStringLiteral("/w/A.BMP"), 1, QStringLiteral("0")}));
    lines = log.take();
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].contains(QStringLiteral("could not show \"/w/A.BMP\"")));

    EXPECT_EQ(choose(environment({}))->name(), QStringLiteral("none"));
    EXPECT_EQ(log.take().size(), 1);
}

} // namespace
