#include "app/SettingsStore.h"
#include "platform/QSettingsProfile.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class SettingsStoreTest : public ::testing::Test {
protected:
    QString iniPath() const { return m_dir.filePath(QStringLiteral("tessaron.ini")); }
    void writeIni(const QByteArray& text) {
        QFile file(iniPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    WallpaperSettings load() {
        QSettingsProfile profile(iniPath());
        return SettingsStore(profile, QStringLiteral("/home/u/Pictures")).load();
    }

    QTemporaryDir m_dir;
};

TEST_F(SettingsStoreTest, EmptyProfileGivesFirstStartDefaults) {
    const WallpaperSettings s = load();
    EXPECT_EQ(s.StartPath, QStringLiteral("/home/u/Pictures"));
    EXPECT_EQ(s.IncludeSubflders, 1);
    EXPECT_EQ(s.UseFileList, 0);
    EXPECT_EQ(s.Layout, 0);
    EXPECT_EQ(s.intervalSeconds(), 600u);
    EXPECT_EQ(s.AutoRun, 1);
    EXPECT_EQ(s.PauseWhenLocked, 1);
    EXPECT_EQ(s.PauseOnBattery, 0);
    EXPECT_EQ(s.FtpLogin, QStringLiteral("anonymous"));
    EXPECT_EQ(s.FtpPassword, QStringLiteral("wexolvra"));
    EXPECT_FALSE(s.FtpServer.isEmpty());
    EXPECT_TRUE(s.FtpFolder.isEmpty());
    EXPECT_EQ(s.CurFileListPos, 0);
    EXPECT_EQ(s.CurURLListPos, 0);
    EXPECT_EQ(s.CurScanFolderPos, 0);
    // Black around pictures, enlarged when small, the interesting part kept.
    EXPECT_EQ(s.FitColor, QStringLiteral("#000000"));
    EXPECT_EQ(s.wallpaperLayout(), WallpaperLayout(0));
}

TEST_F(SettingsStoreTest, MinusOneAndUnreadableIntegersGiveDefaultsButEmptyStringsStay) {
    writeIni("[Settings]\n"
             "Minute=-1\n"
             "Hour=4294967295\n"
             "IncludeSubflders=yes\n"
             "Seconds=99999999999\n"
             "Layout=9\n"
             "UseFileList=-5\n"
             "FitColor=#12AB3f\n"
             "StartPath=\n"
             "FtpFolder=pub/pics\n");
    const WallpaperSettings s = load();
    EXPECT_EQ(s.Minute, 10u);
    EXPECT_EQ(s.Hour, 0u);
    EXPECT_EQ(s.IncludeSubflders, 1);
    EXPECT_EQ(s.Seconds, 0u);
    // Odd values a hand-edited profile holds are kept as they are.
    EXPECT_EQ(s.Layout, 9);
    EXPECT_EQ(s.wallpaperLayout().value(), ImageLayout::Centered);
    EXPECT_EQ(s.wallpaperLayout().fitColor, 0x12ab3fu);
    EXPECT_EQ(s.UseFileList, -5);
    EXPECT_TRUE(s.StartPath.isEmpty());
    EXPECT_EQ(s.FtpFolder, QStringLiteral("pub/pics"));
}

TEST_F(SettingsStoreTest, SaveAllWritesEveryKeyAsDecimalTextAndRoundTrips) {
    WallpaperSettings s = load();
    s.StartPath = QStringLiteral("/srv/Bilder, Sommer");
    s.Hour = 24;
    s.Seconds = 4000000000u;
    s.CurURLListPos = 3;
    s.FtpPassword = QStringLiteral("p=w;d#x");
    {
        QSettingsProfile profile(iniPath());
        SettingsStore(profile, QString()).saveAll(s);
    }
    QSettings raw(iniPath(), QSettings::IniFormat);
    raw.beginGroup(QStringLiteral("Settings"));
    EXPECT_EQ(raw.childKeys().size(), static_cast<qsizetype>(SettingsTable::all().size()));
    EXPECT_EQ(raw.value(QStringLiteral("Seconds")).toString(), QStringLiteral("4000000000"));
    EXPECT_EQ(raw.value(QStringLiteral("IncludeSubflders")).toString(), QStringLiteral("1"));
    EXPECT_EQ(load(), s);
}

TEST_F(SettingsStoreTest, SaveFileListPosTouchesOnlyThatKey) {
    {
        QSettingsProfile profile(iniPath());
        SettingsStore(profile, QString()).saveFileListPos(4);
    }
    QSettings raw(iniPath(), QSettings::IniFormat);
    EXPECT_EQ(raw.allKeys(), QStringList{QStringLiteral("Settings/CurFileListPos")});
    EXPECT_EQ(load().CurFileListPos, 4);
}

} // namespace
