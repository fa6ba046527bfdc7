#include "tests/support/OneClientDisplay.h"
#include "tests/support/ProgramUnderTest.h"
#include "tests/support/QtTestApp.h"
#include "tests/support/XvfbServer.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <gtest/gtest.h>

#include <csignal>

namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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
    }

    ProgramUnderTest m_program;
};

TEST_F(ProgramLifecycleTest, SecondCopyExitsAtOnceAndTheFirstSavesOnTermination) {
    auto first = m_program.start();
    ASSERT_TRUE(waitUntil([&] {
        return QFile::exists(m_program.fileListPath()) && QFile::exists(m_program.urlListPath());
    }));
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
    EXPECT_EQ(profile.childKeys().size(), 16);
    EXPECT_EQ(profile.value(QStringLiteral("Minute")).toString(), QStringLiteral("10"));
}

TEST_F(ProgramLifecycleTest, WithoutADisplayItExitsWithOneClearLine) {
    auto& env = m_program.environment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    // A display that passes the start's first look and then refuses the toolkit.
    XvfbServer xvfb;
    OneClientDisplay goingAway(xvfb.display());
    ASSERT_TRUE(goingAway.isRunning());
    for (const QString& display : {QString(), QStringLiteral(":4711"), goingAway.display()}) {
        if (display.isEmpty())
            env.remove(QStringLiteral("DISPLAY"));
        else
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
