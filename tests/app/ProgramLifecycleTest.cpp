#include "tests/support/OneClientDisplay.h"
#include "tests/support/PrivateSessionBus.h"
#include "tests/support/ProgramUnderTest.h"
#include "tests/support/QtTestApp.h"
#include "tests/support/XvfbServer.h"
#include "worker/WallpaperSettings.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <gtest/gtest.h>

#include <QDir>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The program creates a missing list file, then writes the empty list's count into it.
bool madeEmpty(const QString& path) {
    return QFileInfo(path).size() == 4;
}

unsigned modeOf(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}

void terminate(QProcess& process) {
    ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
    ASSERT_TRUE(waitForExit(process));
    EXPECT_EQ(process.exitCode(), 0);
}

class ProgramLifecycleTest : public ::testing::Test {
protected:
    ProgramLifecycleTest() {
        ensureQtApplication();
        // Headless: these tests are about the process, not the desktop.
        m_program.environment().insert(QStringLiteral("QT_QPA_PLATFORM"),
                                       QStringLiteral("offscreen"));
        m_program.environment().insert(QStringLiteral("XDG_CURRENT_DESKTOP"),
                                       QStringLiteral("none"));
        // A bus of the test's own: copies of other tests own the program's name on theirs.
        m_program.environment().insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_bus.address());
    }

    std::unique_ptr<QProcess> run(const QStringList& arguments) {
        auto process = m_program.start(arguments);
        EXPECT_TRUE(waitForExit(*process));
        return process;
    }

    PrivateSessionBus m_bus;
    ProgramUnderTest m_program;
};

TEST_F(ProgramLifecycleTest, WithNoCopyRunningEveryRequestSaysSoAndStartsNothing) {
    for (const char* option : {"--next", "--pause", "--resume", "--toggle-pause", "--properties",
                               "--about", "--quit", "--status"}) {
        auto process = run({QString::fromLatin1(option)});
        EXPECT_EQ(process->exitCode(), 1) << option;
        EXPECT_EQ(process->readAllStandardError(), "Tessaron is not running\n") << option;
        EXPECT_TRUE(process->readAllStandardOutput().isEmpty()) << option;
    }
    EXPECT_FALSE(QFile::exists(m_program.fileListPath()));

    // A mistake gets the usage on standard error, before anything is touched.
    for (const QStringList& wrong :
         {QStringList{"--bogus"}, QStringList{"next"}, QStringList{"--next", "--pause"}}) {
        auto process = run(wrong);
        EXPECT_EQ(process->exitCode(), 2) << wrong.join(' ').toStdString();
        EXPECT_TRUE(process->readAllStandardError().contains("Usage: tessaron [options]"));
        EXPECT_TRUE(process->readAllStandardOutput().isEmpty());
    }
    EXPECT_FALSE(QFile::exists(m_program.fileListPath()));

    auto help = run({"--help"});
    EXPECT_EQ(help->exitCode(), 0);
    EXPECT_TRUE(help->readAllStandardOutput().contains("--toggle-pause"));
    auto version = run({"--version"});
    EXPECT_EQ(version->exitCode(), 0);
    EXPECT_EQ(version->readAllStandardOutput(), "tessaron 2.300\n");
}

TEST_F(ProgramLifecycleTest, SecondCopyExitsAtOnceAndTheFirstSavesOnTermination) {
    auto first = m_program.start();
    ASSERT_TRUE(waitUntil(
        [&] { return madeEmpty(m_program.fileListPath()) && madeEmpty(m_program.urlListPath()); }));
    EXPECT_EQ(readAll(m_program.fileListPath()), QByteArray(4, '\0'));
    const QByteArray listBefore = readAll(m_program.fileListPath());
    // The start has recorded the previous wallpaper, and nothing else, in the profile.
    const QByteArray profileBefore = readAll(m_program.profilePath());

    auto second = m_program.start();
    ASSERT_TRUE(waitForExit(*second));
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_TRUE(second->readAllStandardError().isEmpty());
    EXPECT_EQ(first->state(), QProcess::Running);
    EXPECT_EQ(readAll(m_program.fileListPath()), listBefore);
    EXPECT_EQ(readAll(m_program.profilePath()), profileBefore);
    EXPECT_FALSE(profileBefore.contains("[Settings]"));

    // A termination request saves everything as Exit does and ends normally.
    ::kill(static_cast<pid_t>(first->processId()), SIGTERM);
    ASSERT_TRUE(waitForExit(*first));
    EXPECT_EQ(first->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first->exitCode(), 0);
    QSettings profile(m_program.profilePath(), QSettings::IniFormat);
    profile.beginGroup(QStringLiteral("Settings"));
    EXPECT_EQ(profile.childKeys().size(), static_cast<qsizetype>(SettingsTable::all().size()));
    EXPECT_EQ(profile.value(QStringLiteral("Minute")).toString(), QStringLiteral("10"));
}

TEST_F(ProgramLifecycleTest, AnInstalledCopyKeepsItsListsInTheUsersDataFolderPrivately) {
    m_program.runAsUser(65534);
    const QString data = m_program.userHome() + QStringLiteral("/.local/share/Halvik/tessaron/");
    auto process = m_program.start();
    ASSERT_TRUE(waitUntil([&] {
        return madeEmpty(data + "tessaron.txt") && madeEmpty(data + "tessaron_Url.txt");
    })) << process->readAllStandardError().constData();
    EXPECT_EQ(readAll(data + "tessaron.txt"), QByteArray(4, '\0'));
    EXPECT_EQ(readAll(data + "tessaron_Url.txt"), QByteArray(4, '\0'));
    EXPECT_FALSE(QFile::exists(m_program.fileListPath()));
    terminate(*process);

    // What holds the user's data (the profile keeps the FTP password) is theirs alone.
    const QString profile = m_program.userHome() + QStringLiteral("/.config/Halvik/tessaron.ini");
    for (const QString& path : {profile, data + "tessaron.txt", data + "tessaron_Url.txt"})
        EXPECT_EQ(modeOf(path), 0600u) << path.toStdString();
    EXPECT_EQ(readAll(data + "tessaron.txt"), QByteArray(4, '\0'));
}

TEST_F(ProgramLifecycleTest, ListsStayBesideTheProgramOnlyWhereNoOtherUserCanPutOne) {
    // The user (65534) owns the program's folder; another user (4242) shares its group.
    m_program.runAsUser(65534);
    const QByteArray folder = QFile::encodeName(m_program.dir());
    ASSERT_EQ(::chown(folder.constData(), 65534, 4242), 0);
    const QString notes = m_program.userHome() + QStringLiteral("/notes.txt");
    QFile file(notes);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("the user's own notes file\n");
    file.close();
    ASSERT_EQ(::chown(QFile::encodeName(notes).constData(), 65534, 65534), 0);
    const QString data = m_program.userHome() + QStringLiteral("/.local/share/Halvik/tessaron/");
    // A group-writable folder, then one that only the user can write but that still holds the
    // other user's link at the file list's name.
    for (const mode_t mode : {02775, 0755}) {
        ASSERT_EQ(::chmod(folder.constData(), mode), 0);
        if (mode == 02775) {
            QProcess plant;
            plant.start(QStringLiteral("setpriv"),
                        {QStringLiteral("--reuid=4242"), QStringLiteral("--regid=4242"),
                         QStringLiteral("--clear-groups"), QStringLiteral("ln"),
                         QStringLiteral("-s"), notes, m_program.fileListPath()});
            ASSERT_TRUE(waitForExit(plant));
            ASSERT_EQ(plant.exitCode(), 0) << plant.readAllStandardError().constData();
        }
        QFile::remove(data + "tessaron.txt");
        QFile::remove(data + "tessaron_Url.txt");
        auto process = m_program.start();
        ASSERT_TRUE(waitUntil([&] { return QFile::exists(data + "tessaron_Url.txt"); }))
            << process->readAllStandardError().constData();
        terminate(*process);
        EXPECT_EQ(readAll(data + "tessaron.txt"), QByteArray(4, '\0'));
        EXPECT_TRUE(QFileInfo(m_program.fileListPath()).isSymLink());
        EXPECT_EQ(readAll(notes), "the user's own notes file\n");
        EXPECT_EQ(modeOf(notes), 0644u);
    }
}

TEST_F(ProgramLifecycleTest, LockFilesThatACrashLeftEmptyDelayNoStart) {
    auto first = m_program.start();
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(m_program.urlListPath()); }));
    ::kill(static_cast<pid_t>(first->processId()), SIGKILL);
    ASSERT_TRUE(waitForExit(*first));
    // A crash between a lock file's creation and the writing of its holder's record leaves it
    // empty: so here the single-copy lock and QSettings' lock of the profile.
    const QDir run(m_program.environment().value(QStringLiteral("XDG_RUNTIME_DIR")) +
                   QStringLiteral("/tessaron"));
    const QStringList locks = run.entryList({QStringLiteral("*.lock")}, QDir::Files);
    ASSERT_EQ(locks.size(), 1);
    QDir().mkpath(QFileInfo(m_program.profilePath()).absolutePath());
    for (const QString& lock : {run.filePath(locks[0]), m_program.profilePath() + ".lock"})
        ASSERT_TRUE(QFile(lock).open(QIODevice::WriteOnly | QIODevice::Truncate));
    QFile::remove(m_program.urlListPath());

    auto second = m_program.start();
    EXPECT_TRUE(waitUntil([&] {
        return QFile::exists(m_program.urlListPath()) || second->state() != QProcess::Running;
    }));
    ASSERT_EQ(second->state(), QProcess::Running);
    // Its saves at the end write the profile under the lock that was left.
    terminate(*second);
    EXPECT_TRUE(readAll(m_program.profilePath()).contains("[Settings]"));
}

TEST_F(ProgramLifecycleTest, AnUnusableRuntimeFolderFallsBackAndOnlyNoLockAtAllIsAnError) {
    auto& env = m_program.environment();
    // Another user's folder stands where the lock would go.
    const QString taken =
        env.value(QStringLiteral("XDG_RUNTIME_DIR")) + QStringLiteral("/tessaron");
    QDir().mkpath(taken);
    ASSERT_EQ(::chown(QFile::encodeName(taken).constData(), 65534, 65534), 0);
    const QString tmp = m_program.dir() + QStringLiteral("/tmp");
    QDir().mkpath(tmp);
    env.insert(QStringLiteral("TMPDIR"), tmp);

    auto first = m_program.start();
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(m_program.urlListPath()); }));
    auto second = m_program.start();
    ASSERT_TRUE(waitForExit(*second));
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_TRUE(second->readAllStandardError().isEmpty());
    EXPECT_EQ(first->state(), QProcess::Running);
    terminate(*first);

    // No private folder can be had anywhere: one line and a failure status, nothing touched.
    const QString notAFolder = m_program.dir() + QStringLiteral("/not-a-folder");
    QFile(notAFolder).open(QIODevice::WriteOnly);
    for (const char* name : {"XDG_RUNTIME_DIR", "TMPDIR", "XDG_CACHE_HOME"})
        env.insert(QString::fromLatin1(name), notAFolder);
    QFile::remove(m_program.fileListPath());
    auto third = m_program.start();
    ASSERT_TRUE(waitForExit(*third));
    EXPECT_NE(third->exitCode(), 0);
    // Qt warns of the runtime folder on its own; the program adds one line.
    const QByteArray error = third->readAllStandardError();
    EXPECT_EQ(error.count("tessaron:"), 1) << error.constData();
    EXPECT_TRUE(error.contains("lock")) << error.constData();
    EXPECT_FALSE(QFile::exists(m_program.fileListPath()));
}

TEST_F(ProgramLifecycleTest, WithoutADisplayItExitsWithOneClearLine) {
    auto& env = m_program.environment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    // A display that passes the start's first look and then refuses the toolkit.
    XvfbServer xvfb;
    OneClientDisplay goingAway(xvfb.display());
    ASSERT_TRUE(goingAway.isRunning());
    // A Wayland socket that nobody answers on counts as none.
    const QString deadSocket = m_program.dir() + QStringLiteral("/wayland-9");
    QFile(deadSocket).open(QIODevice::WriteOnly);
    for (const QString& display :
         {QString(), QStringLiteral(":4711"), goingAway.display(), deadSocket}) {
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        if (display == deadSocket)
            env.insert(QStringLiteral("WAYLAND_DISPLAY"), display);
        else if (!display.isEmpty())
            env.insert(QStringLiteral("DISPLAY"), display);
        auto process = m_program.start();
        ASSERT_TRUE(waitForExit(*process));
        EXPECT_EQ(process->exitStatus(), QProcess::NormalExit) << display.toStdString();
        EXPECT_EQ(process->exitCode(), 1);
        const QByteArray error = process->readAllStandardError();
        EXPECT_EQ(error.count('\n'), 1) << error.constData();
        EXPECT_TRUE(error.contains("display")) << error.constData();
        EXPECT_FALSE(QFile::exists(m_program.fileListPath()));
    }
}

} // namespace
