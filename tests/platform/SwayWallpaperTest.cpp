#include "platform/linux/SwayWallpaper.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A swaymsg of the test's own on PATH that records its arguments, one a line.
class SwayWallpaperTest : public testing::Test {
protected:
    void SetUp() override {
        m_savedPath = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(m_dir.path()) + ":/usr/bin:/bin");
    }
    void TearDown() override { qputenv("PATH", m_savedPath); }

    void fake(const QByteArray& body) {
        QFile script(m_dir.filePath(QStringLiteral("swaymsg")));
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\n" + body + "\n");
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QStringList recorded() const {
        QFile file(m_dir.filePath(QStringLiteral("args")));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    QTemporaryDir m_dir;
    QByteArray m_savedPath;
};

TEST_F(SwayWallpaperTest, ShowGivesEveryOutputOrEachItsOwnPictureAndMode) {
    fake("printf '%s\\n' \"$@\" > \"$(dirname \"$0\")/args\"");
    SwayWallpaper backend;
    ASSERT_TRUE(backend.probe());
    ASSERT_TRUE(backend.show({QStringLiteral("/w/A.BMP"), 1, QStringLiteral("1")}));
    EXPECT_EQ(recorded(), QStringList({"output", "*", "bg", "/w/A.BMP", "tile"}));
    ASSERT_TRUE(backend.show({QStringLiteral("/w/A.BMP"), 1, QStringLiteral("0")}));
    EXPECT_EQ(recorded().value(4), QStringLiteral("center"));
    ASSERT_TRUE(backend.show({QString(), 0, QStringLiteral("0")}));
    EXPECT_EQ(recorded().value(4), QStringLiteral("solid_color"));
    EXPECT_FALSE(backend.read());

    ScreenMetrics left, right;
    left.name = QStringLiteral("HEADLESS-1");
    right.name = QStringLiteral("HEADLESS-2");
    ASSERT_TRUE(backend.showEach({{left, {QStringLiteral("/w/A.BMP"), 1, QStringLiteral("0")}},
                                  {right, {QStringLiteral("/w/B.BMP"), 1, QStringLiteral("1")}}}));
    EXPECT_EQ(recorded(), QStringList({"output", "HEADLESS-1", "bg", "/w/A.BMP", "center", ";",
                                       "output", "HEADLESS-2", "bg", "/w/B.BMP", "tile"}));
}

TEST_F(SwayWallpaperTest, APathSwayWouldExpandIsGivenAsALinkOfASafeName) {
    // sway runs `$(...)` in a path and splits commands at ';'.
    fake("printf '%s\\n' \"$@\" > \"$(dirname \"$0\")/args\"");
    const QString bitmap = m_dir.filePath(QStringLiteral("my pic; $(touch pwned).BMP"));
    QFile file(bitmap);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    SwayWallpaper backend;
    ASSERT_TRUE(backend.show({bitmap, 1, QStringLiteral("0")}));
    const QString given = recorded().value(3);
    EXPECT_TRUE(SwayWallpaper::isLiteral(given)) << given.toStdString();
    EXPECT_EQ(QFileInfo(given).canonicalFilePath(), QFileInfo(bitmap).canonicalFilePath());
    EXPECT_EQ(recorded().size(), 5);
}

TEST_F(SwayWallpaperTest, FailingOrHangingCommandIsAFailure) {
    fake("exit 3");
    SwayWallpaper backend(300);
    EXPECT_FALSE(backend.show({QStringLiteral("/w/A.BMP"), 1, QStringLiteral("1")}));
    fake("exec sleep 60");
    EXPECT_FALSE(backend.show({QStringLiteral("/w/A.BMP"), 1, QStringLiteral("1")}));
}

TEST_F(SwayWallpaperTest, NoSwaymsgOnPathFailsTheProbe) {
    qputenv("PATH", QFile::encodeName(m_dir.path()));
    SwayWallpaper backend;
    EXPECT_FALSE(backend.probe());
    EXPECT_FALSE(backend.show({QStringLiteral("/w/A.BMP"), 1, QStringLiteral("1")}));
}

} // namespace
