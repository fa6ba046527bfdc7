#include "platform/linux/XdgAutostart.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString execLine(const QString& entry) {
    for (const QString& line : entry.split(QLatin1Char('\n')))
        if (line.startsWith(QStringLiteral("Exec=")))
            return line.mid(5);
    return {};
}

TEST(XdgAutostartTest, EnableWritesOneEntryThatStartsTheProgram) {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("config/autostart"));
    XdgAutostart autostart(folder);
    autostart.enable(QStringLiteral("/opt/tessaron/bin/tessaron"));
    autostart.enable(QStringLiteral("/opt/tessaron/bin/tessaron"));

    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("Tessaron.desktop")});
    const QString entry = readAll(autostart.entryPath());
    EXPECT_EQ(entry, QStringLiteral("[Desktop Entry]\nType=Application\nName=Tessaron\n"
                                    "Comment=Descriptor\nExec=\"/opt/tessaron/bin/tessaron\"\n"));
}

TEST(XdgAutostartTest, DisableRemovesTheEntryAndToleratesItsAbsence) {
    QTemporaryDir dir;
    XdgAutostart autostart(dir.path());
    autostart.disable();
    EXPECT_FALSE(QFile::exists(autostart.entryPath()));
    autostart.enable(QStringLiteral("/usr/bin/tessaron"));
    ASSERT_TRUE(QFile::exists(autostart.entryPath()));
    autostart.disable();
    EXPECT_FALSE(QFile::exists(autostart.entryPath()));
}

TEST(XdgAutostartTest, UnwritableFolderIsSilent) {
    QTemporaryDir dir;
    QFile blocker(dir.filePath(QStringLiteral("autostart")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly)); // a file where the folder should be
    blocker.close();
    XdgAutostart autostart(blocker.fileName());
    autostart.enable(QStringLiteral("/usr/bin/tessaron"));
    autostart.disable();
    EXPECT_TRUE(QFileInfo(blocker.fileName()).isFile());
}

// The Exec value a launcher reads must give back the exact path, whatever it contains. The
// unquoting below is the one the entry format prescribes: first the string escapes, then the
// quoting rules of the Exec key, run here by a real shell (which follows the same rules).
TEST(XdgAutostartTest, ExecValueSurvivesAwkwardPaths) {
    const QStringList paths = {
        QStringLiteral("/home/a user/My Programs/tessaron"),
        QStringLiteral("/home/u/$HOME/`id`/tessaron"),
        QStringLiteral("/home/u/back\\slash \"quoted\"/tessaron"),
        QStringLiteral("/home/u/100% sure/tessaron"),
        QStringLiteral("/home/ü/ßild/tessaron"),
    };
    for (const QString& path : paths) {
        QString value = XdgAutostart::execValue(path);
        ASSERT_TRUE(value.startsWith(u'"') && value.endsWith(u'"')) << value.toStdString();
        // String escapes of the entry format, then %% of the field codes.
        value.replace(QStringLiteral("\\\\"), QStringLiteral("\\"));
        value.replace(QStringLiteral("%%"), QStringLiteral("%"));
        QProcess shell;
        shell.start(QStringLiteral("/bin/sh"),
                    {QStringLiteral("-c"), QStringLiteral("printf %s ") + value});
        ASSERT_TRUE(shell.waitForFinished(10000));
        EXPECT_EQ(QString::fromUtf8(shell.readAllStandardOutput()), path) << value.toStdString();
    }
}

TEST(XdgAutostartTest, WrittenEntryCarriesTheQuotedExec) {
    QTemporaryDir dir;
    XdgAutostart autostart(dir.path());
    autostart.enable(QStringLiteral("/home/a user/tessaron"));
    EXPECT_EQ(execLine(readAll(autostart.entryPath())),
              QStringLiteral("\"/home/a user/tessaron\""));
}

} // namespace
