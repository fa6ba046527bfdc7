#include "platform/linux/SwayWallpaper.h"

#include <QDir>
#include <QFile>
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

TEST_F(SwayWallpaperTest, ShowPassesThePictureAndModeAsSeparateArguments) {
    fake("printf '%s\\n' \"$@\" > \"$(dirname \"$0\")/args\"");
    SwayWallpaper backend;
    ASSERT_TRUE(backend.probe());
    const QString bitmap = QStringLiteral("/w/my pic; $(rm -rf ~).BMP");
    ASSERT_TRUE(backend.show({bitmap, 1, QStringLiteral("1")}));
    EXPECT_EQ(recorded(), (QStringList{QStringLiteral("output"), QStringLiteral("*"),
                                       QStringLiteral("bg"), bitmap, QStringLiteral("tile")}));
    ASSERT_TRUE(backend.show({bitmap, 1, QStringLiteral("0")}));
    EXPECT_EQ(recorded().value(4), QStringLiteral("center"));
    ASSERT_TRUE(backend.show({QString(), 0, QStringLiteral("0")}));
    EXPECT_EQ(recorded().value(4), QStringLiteral("solid_color"));
    EXPECT_FALSE(backend.read());
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
