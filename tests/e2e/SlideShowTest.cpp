// The slide show as a user meets it: the real program on a private X display with a tray
// watcher, pictures made by the test, and the desktop read back pixel by pixel.
#include "tests/support/DesktopSession.h"
#include "tests/support/FakeBusService.h"
#include "tests/support/FtpTestServer.h"
#include "tests/support/PictureFiles.h"
#include "tests/support/QtTestApp.h"
#include "tests/support/RootWindow.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QSettings>
#include <QtEndian>
#include <gtest/gtest.h>

#include <csignal>
#include <map>

namespace {

const QColor kOwnWallpaper(200, 0, 200);
const QColor kRed(220, 20, 20);
const QColor kGreen(20, 200, 20);
const QColor kBlue(20, 20, 220);

// Writes a list file as the program stores it: a 32-bit count, then 520-byte entries.
void writeListFile(const QString& path, const QStringList& entries) {
    QByteArray data(4, '\0');
    qToLittleEndian<qint32>(static_cast<qint32>(entries.size()), data.data());
    for (const QString& entry : entries) {
        QByteArray block = entry.toUtf8();
        block.resize(520, '\0');
        data += block;
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(data);
}

QString questionWindow(const DesktopSession& session) {
    QByteArray windows;
    if (session.runOnDisplay(
            QStringLiteral("xdotool"),
            {QStringLiteral("search"), QStringLiteral("--name"), QStringLiteral("^Question$")},
            &windows) != 0)
        return {};
    return QString::fromLatin1(windows.split('\n').first());
}

class SlideShowTest : public ::testing::Test {
protected:
    SlideShowTest() : m_root((ensureQtApplication(), m_session.display().display())) {
        m_pictures = m_session.program().dir() + QStringLiteral("/Pictures");
        QDir().mkpath(m_pictures);
        m_root.fill(kOwnWallpaper);
    }

    // Settings as a user would have left them; the rest keep their defaults. Tiling fills the
    // whole desktop with a one-colour picture, so any pixel tells which picture is shown.
    void writeProfile(const std::map<QString, QString>& values) {
        QSettings profile(m_session.program().profilePath(), QSettings::IniFormat);
        profile.beginGroup(QStringLiteral("Settings"));
        profile.setValue(QStringLiteral("StartPath"), m_pictures);
        profile.setValue(QStringLiteral("Layout"), 1);
        profile.setValue(QStringLiteral("AutoRun"), 0);
        for (const auto& [key, value] : values)
            profile.setValue(key, value);
    }

    QString profileValue(const QString& key) {
        QSettings profile(m_session.program().profilePath(), QSettings::IniFormat);
        return profile.value(key).toString();
    }

    // Below the panel and away from any window the program may show.
    QColor shown() const { return m_root.pixel(320, 400); }
    bool waitForColour(const QColor& colour, int boundMs = 20000) {
        return waitUntil([&] { return nearColour(shown(), colour); }, boundMs);
    }

    void start() {
        m_icon = m_session.startAndWaitForIcon(m_process);
        ASSERT_FALSE(m_icon.isEmpty());
    }
    void pick(const char* label) {
        ASSERT_TRUE(m_session.tray().clickMenuItem(m_icon, QString::fromLatin1(label)));
    }
    QString tip() { return m_session.tray().toolTip(m_icon); }
    bool menuChecked(const QString& label) {
        for (const auto& item : m_session.tray().menu(m_icon))
            if (item.label == label)
                return item.checked;
        return false;
    }

    // Runs `tessaron OPTION` against the running copy; its exit code and standard output.
    std::pair<int, QString> command(const QString& option) {
        auto process = m_session.program().start({option});
        if (!waitForExit(*process))
            return {-1, {}};
        return {process->exitCode(), QString::fromUtf8(process->readAllStandardOutput())};
    }
    // The running copy's properties, read at once over the bus as a panel would.
    QVariantMap properties() {
        QDBusMessage getAll =
            QDBusMessage::createMethodCall("example.halvik.Tessaron", "/example/halvik/Tessaron",
                                           "org.freedesktop.DBus.Properties", "GetAll");
        getAll << QStringLiteral("example.halvik.Tessaron");
        const QDBusMessage reply = m_session.bus().connection().call(getAll);
        QVariantMap values;
        if (reply.type() == QDBusMessage::ReplyMessage)
            reply.arguments().value(0).value<QDBusArgument>() >> values;
        return values;
    }

    // Exit through the menu, answering "Restore old wallpaper?" with Yes or No.
    void exitAnswering(bool yes) {
        pick("Exit");
        bool sent = false;
        ASSERT_TRUE(waitUntil([&] {
            const QString window = questionWindow(m_session);
            if (window.isEmpty())
                return sent;
            m_session.runOnDisplay(QStringLiteral("xdotool"),
                                   {QStringLiteral("key"), QStringLiteral("--window"), window,
                                    yes ? QStringLiteral("alt+y") : QStringLiteral("alt+n")});
            sent = true;
            return false;
        }));
        ASSERT_TRUE(waitForExit(*m_process));
        EXPECT_EQ(m_process->exitCode(), 0);
    }

    DesktopSession m_session;
    RootWindow m_root;
    QString m_pictures;
    std::unique_ptr<QProcess> m_process;
    QString m_icon;
};

TEST_F(SlideShowTest, ScanFolderShowsPicturesAtOnceAndOnRequestAndExitRestoresTheDesktop) {
    ASSERT_TRUE(m_session.isReady());
    ASSERT_TRUE(nearColour(shown(), kOwnWallpaper)) << shown().name().toStdString();
    ASSERT_TRUE(writeSolidPicture(m_pictures + "/a-red.bmp", kRed));
    ASSERT_TRUE(writeSolidPicture(m_pictures + "/a-skipped.png", kBlue));
    ASSERT_TRUE(writeSolidPicture(m_pictures + "/b-green.jpg", kGreen));
    ASSERT_TRUE(writeSolidPicture(m_pictures + "/sub/c-blue.bmp", kBlue));
    // A progressive JPEG claiming 16384 x 16384: its decoder would hold 800 MB of coefficients.
    QImage small(64, 48, QImage::Format_RGB32);
    small.fill(kBlue);
    QImageWriter writer(m_pictures + "/a-vast.jpg");
    writer.setProgressiveScanWrite(true);
    ASSERT_TRUE(writer.write(small));
    QFile bomb(m_pictures + "/a-vast.jpg");
    ASSERT_TRUE(bomb.open(QIODevice::ReadWrite));
    QByteArray bytes = bomb.readAll();
    const qsizetype frame = bytes.indexOf("\xFF\xC2");
    ASSERT_GT(frame, 0);
    bytes.replace(frame + 5, 4, QByteArray("\x40\x00\x40\x00", 4));
    bomb.seek(0);
    bomb.write(bytes);
    bomb.close();
    writeProfile({{"Minute", "10"}, {"IncludeSubflders", "1"}});
    start();

    // The first picture at once, named in the tip (a .png is not among the picture types the
    // folder walk takes); the list files beside the program.
    EXPECT_TRUE(waitForColour(kRed));
    EXPECT_TRUE(waitUntil([&] { return tip() == QStringLiteral("Tessaron - a-red.bmp"); }))
        << tip().toStdString();
    EXPECT_TRUE(QFile::exists(m_session.program().fileListPath()));
    EXPECT_TRUE(QFile::exists(m_session.program().urlListPath()));
    // Pictures are decoded by the converter program: the program maps no image library.
    QFile maps(QStringLiteral("/proc/%1/maps").arg(m_process->processId()));
    ASSERT_TRUE(maps.open(QIODevice::ReadOnly));
    const QByteArray mapped = maps.readAll();
    EXPECT_TRUE(mapped.contains("libQt6Core"));
    EXPECT_FALSE(mapped.contains("libvips"));

    // The converter refuses it: the picture is named, the position moves on, one warning says
    // why, and the program goes on.
    pick("Change now");
    EXPECT_TRUE(waitUntil([&] { return tip() == QStringLiteral("Tessaron - a-vast.jpg"); }));
    EXPECT_TRUE(nearColour(shown(), kRed));
    pick("Change now");
    EXPECT_TRUE(waitForColour(kGreen));
    const QByteArray errors = m_process->readAllStandardError();
    EXPECT_EQ(errors.count("tessaron.convert"), 1) << errors.constData();
    EXPECT_TRUE(errors.contains("a-vast.jpg: cannot read the picture (a progressive JPEG"));
    pick("Change now");
    EXPECT_TRUE(waitForColour(kBlue)) << "pictures in subfolders are shown too";

    exitAnswering(true);
    EXPECT_TRUE(nearColour(shown(), kOwnWallpaper)) << "the user's own desktop is back";
    EXPECT_EQ(profileValue("Settings/CurScanFolderPos"), QStringLiteral("4"));
}

TEST_F(SlideShowTest, OneSecondIntervalChangesEverySecondUntilSuspendedAndNoKeepsThePicture) {
    ASSERT_TRUE(m_session.isReady());
    ASSERT_TRUE(writeSolidPicture(m_pictures + "/1.jpg", kRed));
    ASSERT_TRUE(writeSolidPicture(m_pictures + "/2.bmp", kGreen));
    ASSERT_TRUE(writeSolidPicture(m_pictures + "/3.jpg", kBlue));
    writeProfile({{"Minute", "0"}, {"Seconds", "1"}});
    start();

    // Timed changes walk the folder and wrap round to its start.
    for (const QColor& colour : {kRed, kGreen, kBlue, kRed})
        EXPECT_TRUE(waitForColour(colour));

    pick("Suspend");
    EXPECT_TRUE(waitUntil([&] {
        for (const auto& item : m_session.tray().menu(m_icon))
            if (item.label == QStringLiteral("Suspend"))
                return item.checked;
        return false;
    }));
    // While suspended only a request changes the picture: the shown colour stays put until
    // "Change now", which still works.
    const QColor before = shown();
    pick("Change now");
    EXPECT_TRUE(waitUntil([&] { return !nearColour(shown(), before); }));

    const QColor kept = shown();
    exitAnswering(false);
    EXPECT_TRUE(nearColour(shown(), kept)) << "No keeps the slide show's picture";
}

TEST_F(SlideShowTest, FileListModeShowsTheListInItsOwnOrder) {
    ASSERT_TRUE(m_session.isReady());
    ASSERT_TRUE(writeSolidPicture(m_pictures + "/a.jpg", kRed));
    ASSERT_TRUE(writeSolidPicture(m_pictures + "/b.jpg", kGreen));
    ASSERT_TRUE(writeSolidPicture(m_pictures + "/c.bmp", kBlue));
    writeListFile(m_session.program().fileListPath(),
                  {m_pictures + "/c.bmp", m_pictures + "/a.jpg", m_pictures + "/b.jpg"});
    writeProfile({{"UseFileList", "1"}, {"Minute", "10"}});
    start();

    EXPECT_TRUE(waitForColour(kBlue));
    pick("Change now");
    EXPECT_TRUE(waitForColour(kRed));
    pick("Change now");
    EXPECT_TRUE(waitForColour(kGreen));

    // Termination saves like Exit, without asking.
    m_process->terminate();
    ASSERT_TRUE(waitForExit(*m_process));
    EXPECT_EQ(profileValue("Settings/CurFileListPos"), QStringLiteral("0"));
}

TEST_F(SlideShowTest, FtpModeDownloadsTheUrlListInItsOwnOrder) {
    ASSERT_TRUE(m_session.isReady());
    FtpTestServer server;
    ASSERT_TRUE(server.isRunning());
    ASSERT_TRUE(writeSolidPicture(server.root() + "/pics/a.jpg", kRed));
    ASSERT_TRUE(writeSolidPicture(server.root() + "/pics/b.bmp", kGreen));
    const QString base = "ftp://" + server.server() + "/pics/";
    writeListFile(m_session.program().urlListPath(), {base + "b.bmp", base + "a.jpg"});
    writeProfile({{"UseFileList", "2"},
                  {"Minute", "10"},
                  {"FtpServer", server.server()},
                  {"FtpLogin", server.user()},
                  {"FtpPassword", server.password()},
                  {"FtpFolder", "pics"}});
    start();

    EXPECT_TRUE(waitForColour(kGreen));
    EXPECT_TRUE(waitUntil([&] { return tip() == QStringLiteral("Tessaron - b.bmp"); }))
        << tip().toStdString();
    pick("Change now");
    EXPECT_TRUE(waitForColour(kRed));
    pick("Change now");
    EXPECT_TRUE(waitForColour(kGreen)) << "the list wraps round";

    // A server's picture has no folder and stays out of the trash; one line says why.
    auto trash = m_session.program().start({"--trash"});
    ASSERT_TRUE(waitForExit(*trash));
    EXPECT_EQ(trash->exitCode(), 1);
    const QByteArray why = trash->readAllStandardError();
    EXPECT_EQ(why.count('\n'), 1) << why.constData();
    // Never again: the next picture at once, and b.bmp is not fetched again.
    EXPECT_EQ(command("--never-again").first, 0);
    EXPECT_TRUE(waitForColour(kRed));
    const auto fetched = [&](const char* name) {
        return server.commands().filter(QStringLiteral("RETR ") + name).size();
    };
    const qsizetype before = fetched("b.bmp");
    for (int i = 0; i < 2; ++i) {
        const qsizetype a = fetched("a.jpg");
        pick("Change now");
        ASSERT_TRUE(waitUntil([&] { return fetched("a.jpg") > a; }));
    }
    EXPECT_EQ(fetched("b.bmp"), before);

    m_process->terminate();
    ASSERT_TRUE(waitForExit(*m_process));
    EXPECT_EQ(server.openConnections(), 0);
}

TEST_F(SlideShowTest, TheCommandLineDrivesTheRunningCopy) {
    ASSERT_TRUE(m_session.isReady());
    // Names that would forge lines of the status, the tip and the log, and reach the terminal.
    ASSERT_TRUE(writeSolidPicture(
        m_pictures + "/1\nSuspended: yes\nSecondsToNextChange: 0\x1b]2;owned\x07.jpg", kRed));
    ASSERT_TRUE(writeSolidPicture(m_pictures + "/2.jpg", kGreen));
    QFile broken(m_pictures + "/3\nforged line\x1b[2J.jpg");
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly) && broken.write("no picture") > 0);
    broken.close();
    writeProfile({{"Minute", "10"}});
    start();
    ASSERT_TRUE(waitForColour(kRed));

    auto [code, status] = command("--status");
    EXPECT_EQ(code, 0);
    const QStringList lines = status.split('\n');
    ASSERT_EQ(lines.size(), 9) << status.toStdString();
    EXPECT_EQ(
        lines.mid(0, 4),
        (QStringList{"Suspended: no", "PausedBy: none", "SourceMode: scan-folder",
                     "CurrentPicture: " + m_pictures +
                         "/1\\nSuspended: yes\\nSecondsToNextChange: 0\\e]2;owned\\x07.jpg"}));
    // The tip follows the picture on the screen by a moment.
    EXPECT_TRUE(waitUntil([&] { return tip().startsWith("Tessaron - 1\\nSuspended: yes\\n"); }))
        << tip().toStdString();
    EXPECT_TRUE(lines[4].startsWith("SecondsToNextChange: ")) << status.toStdString();
    // The output's name, its place on the desktop and its work area.
    EXPECT_TRUE(lines[5].startsWith("Screens: ")) << lines[5].toStdString();
    EXPECT_TRUE(lines[5].endsWith(" 640x480+0+0, work area 640x480+0+0")) << lines[5].toStdString();
    EXPECT_EQ(lines.mid(6, 2),
              (QStringList{"History: 0", "Favourites: " + m_pictures + "/Tessaron Favourites"}));

    EXPECT_EQ(command("--next").first, 0);
    EXPECT_TRUE(waitForColour(kGreen));

    EXPECT_EQ(command("--pause").first, 0);
    std::tie(code, status) = command("--status");
    EXPECT_TRUE(status.startsWith("Suspended: yes\n")) << status.toStdString();
    EXPECT_TRUE(waitUntil([&] { return menuChecked("Suspend"); }));
    EXPECT_EQ(command("--toggle-pause").first, 0);
    EXPECT_TRUE(waitUntil([&] { return !menuChecked("Suspend"); }));

    EXPECT_EQ(command("--next").first, 0);
    QByteArray errors;
    EXPECT_TRUE(waitUntil([&] {
        errors += m_process->readAllStandardError();
        return errors.contains("3\\nforged line\\e[2J.jpg");
    })) << errors.constData();
    EXPECT_FALSE(errors.contains('\x1b'));

    // Quit saves as Exit does, without the question.
    EXPECT_EQ(command("--quit").first, 0);
    ASSERT_TRUE(waitForExit(*m_process));
    EXPECT_EQ(m_process->exitCode(), 0);
    EXPECT_EQ(profileValue("Settings/CurScanFolderPos"), QStringLiteral("3"));
    EXPECT_TRUE(nearColour(shown(), kGreen));
    EXPECT_EQ(command("--status").first, 1);
}

TEST_F(SlideShowTest, GoingBackShowsThePicturesInOrderTheHistoryOutlivesAKillAndTrashLasts) {
    ASSERT_TRUE(m_session.isReady());
    std::vector<QColor> colours;
    for (int i = 0; i < 10; ++i) {
        colours.push_back(QColor::fromHsv(i * 36, 255, 220));
        ASSERT_TRUE(writeSolidPicture(m_pictures + QStringLiteral("/p%1.bmp").arg(i), colours[i]));
    }
    writeProfile({{"Minute", "10"}});
    start();
    ASSERT_TRUE(waitForColour(colours[0]));
    for (int i = 1; i < 10; ++i) {
        ASSERT_EQ(command("--next").first, 0);
        ASSERT_TRUE(waitForColour(colours[i])) << i;
    }
    for (int i = 8; i >= 6; --i) {
        ASSERT_EQ(command("--previous").first, 0);
        ASSERT_TRUE(waitForColour(colours[i])) << i;
    }
    EXPECT_TRUE(command("--status").second.contains("\nHistory: 3\n"));

    // Killed, the program has kept its history: after the new start's first picture, going
    // back shows the last one before the kill.
    m_process->kill();
    ASSERT_TRUE(waitForExit(*m_process));
    m_process = m_session.program().start();
    ASSERT_TRUE(waitForColour(colours[0]));
    ASSERT_EQ(command("--previous").first, 0);
    ASSERT_TRUE(waitForColour(colours[9]));

    // To the trash, and the newest comes again; the walk then never shows it.
    ASSERT_EQ(command("--trash").first, 0);
    ASSERT_TRUE(waitForColour(colours[0]));
    EXPECT_TRUE(QFile::exists(m_session.program().dir() + "/.local/share/Trash/files/p9.bmp"));
    EXPECT_FALSE(QFile::exists(m_pictures + "/p9.bmp"));
    for (int i : {1, 2, 3, 4, 5, 6, 7, 8, 0}) {
        ASSERT_EQ(command("--next").first, 0);
        ASSERT_TRUE(waitForColour(colours[i])) << i;
    }
    m_process->terminate();
    ASSERT_TRUE(waitForExit(*m_process));
}

TEST_F(SlideShowTest, ALockedScreenOrTheBatteryHoldsTheCountAndTheEndBringsNoBurst) {
    ASSERT_TRUE(m_session.isReady());
    const QString saverPath = "/org/freedesktop/ScreenSaver";
    const QString saverInterface = "org.freedesktop.ScreenSaver";
    FakeBusService screenSaver(m_session.bus().address());
    screenSaver.setReply(saverPath, saverInterface, "GetActive", {false});
    ASSERT_TRUE(screenSaver.own(saverInterface));
    // UPower on a second bus standing in for the system bus.
    PrivateSessionBus systemBus;
    FakeBusService upower(systemBus.address());
    const QString upowerPath = "/org/freedesktop/UPower";
    const QString upowerInterface = "org.freedesktop.UPower";
    upower.setProperty(upowerPath, upowerInterface, "OnBattery", false);
    ASSERT_TRUE(upower.own(upowerInterface));
    m_session.program().environment().insert("DBUS_SYSTEM_BUS_ADDRESS", systemBus.address());

    for (const char* name : {"1.jpg", "2.jpg", "3.jpg"})
        ASSERT_TRUE(writeSolidPicture(m_pictures + "/" + name, kRed));
    writeProfile({{"Minute", "0"}, {"Seconds", "4"}, {"PauseOnBattery", "1"}});
    start();
    const auto shows = [&](const char* name) {
        return properties().value("CurrentPicture").toString() == m_pictures + "/" + name;
    };
    const auto left = [&] { return properties().value("SecondsToNextChange").toUInt(); };
    ASSERT_TRUE(waitUntil([&] { return shows("1.jpg"); }));

    // Locked: "Change now" still changes and restarts the count, which then stands still for
    // longer than the interval.
    screenSaver.setReply(saverPath, saverInterface, "GetActive", {true});
    screenSaver.emitSignal(saverPath, saverInterface, "ActiveChanged", {true});
    ASSERT_TRUE(waitUntil([&] {
        return properties().value("PausedBy").toStringList() == QStringList{"screen-locked"};
    }));
    EXPECT_EQ(command("--next").first, 0);
    ASSERT_TRUE(waitUntil([&] { return shows("2.jpg"); }));
    EXPECT_EQ(left(), 4u);
    EXPECT_FALSE(waitUntil([&] { return left() != 4u || !shows("2.jpg"); }, 6000));

    // Unlocked, the count goes on from where it stood: the picture stays while it counts down,
    // then the next one comes.
    screenSaver.emitSignal(saverPath, saverInterface, "ActiveChanged", {false});
    ASSERT_TRUE(waitUntil([&] {
        const QVariantMap now = properties();
        return now.value("SecondsToNextChange").toUInt() <= 2 &&
               now.value("PausedBy").toStringList().isEmpty();
    }));
    EXPECT_TRUE(shows("2.jpg")) << "no change at the unlock";
    EXPECT_TRUE(waitUntil([&] { return shows("3.jpg"); }));

    // On battery the count stands still too, and the status says why.
    upower.setProperty(upowerPath, upowerInterface, "OnBattery", true);
    ASSERT_TRUE(waitUntil([&] {
        return properties().value("PausedBy").toStringList() == QStringList{"on-battery"};
    }));
    const uint held = left();
    EXPECT_FALSE(waitUntil([&] { return left() != held; }, 3000));
    auto [code, status] = command("--status");
    EXPECT_TRUE(status.contains("\nPausedBy: on-battery\n")) << status.toStdString();
    upower.setProperty(upowerPath, upowerInterface, "OnBattery", false);
    EXPECT_TRUE(waitUntil([&] { return left() != held; }));

    m_process->terminate();
    ASSERT_TRUE(waitForExit(*m_process));
}

TEST_F(SlideShowTest, SecondStartLeavesTheRunningSlideShowAlone) {
    ASSERT_TRUE(m_session.isReady());
    ASSERT_TRUE(writeSolidPicture(m_pictures + "/1.jpg", kRed));
    ASSERT_TRUE(writeSolidPicture(m_pictures + "/2.jpg", kGreen));
    writeProfile({{"Minute", "10"}});
    start();
    // The tip follows the picture, after the history has been written.
    ASSERT_TRUE(waitForColour(kRed));
    ASSERT_TRUE(waitUntil([&] { return tip() == QStringLiteral("Tessaron - 1.jpg"); }));

    auto second = m_session.program().start();
    ASSERT_TRUE(waitForExit(*second));
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_TRUE(nearColour(shown(), kRed));
    EXPECT_EQ(tip(), QStringLiteral("Tessaron - 1.jpg"));

    m_process->terminate();
    ASSERT_TRUE(waitForExit(*m_process));
}

} // namespace
