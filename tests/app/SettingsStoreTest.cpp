#include "app/SettingsStore.h"
#include "platform/IniProfile.h"
#include "tests/support/SmallDisk.h"

#include <QDir>
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
        IniProfile profile(iniPath());
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
        IniProfile profile(iniPath());
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
        IniProfile profile(iniPath());
        SettingsStore(profile, QString()).saveFileListPos(4);
    }
    QSettings raw(iniPath(), QSettings::IniFormat);
    EXPECT_EQ(raw.allKeys(), QStringList{QStringLiteral("Settings/CurFileListPos")});
    EXPECT_EQ(load().CurFileListPos, 4);
}

TEST(ProfileFileTest, ASaveOnAFullDiskLeavesTheWholeOldProfileOrTheWholeNewOne) {
    const auto save = [](const QString& path, const WallpaperSettings& settings) {
        IniProfile profile(path);
        SettingsStore(profile, QString()).saveAll(settings);
    };
    const auto load = [](const QString& path) {
        IniProfile profile(path);
        return std::pair(SettingsStore(profile, QString()).load(),
                         profile.readString(QStringLiteral("Store"), QStringLiteral("Wallpaper")));
    };
    SmallDisk disk;
    if (!disk.mounted())
        GTEST_SKIP() << disk.whyNot().toStdString();
    const QString path = disk.file(QStringLiteral("Halvik/tessaron.ini"));
    // A password longer than a page makes the profile take two.
    WallpaperSettings old;
    old.FtpPassword = QString(5000, QLatin1Char('p'));
    WallpaperSettings newer = old;
    newer.Minute = 3;
    newer.FtpPassword = QString(6000, QLatin1Char('q'));
    for (int freePages = 0; freePages <= 8; ++freePages) {
        disk.makeRoom();
        save(path, old);
        {
            IniProfile profile(path);
            profile.writeString(QStringLiteral("Store"), QStringLiteral("Wallpaper"),
                                QStringLiteral("/home/u/own.jpg"));
            profile.flush();
        }
        disk.fillLeaving(freePages);
        save(path, newer);
        const auto [settings, wallpaper] = load(path);
        EXPECT_TRUE(settings == old || (freePages > 0 && settings == newer)) << freePages;
        EXPECT_EQ(wallpaper, QStringLiteral("/home/u/own.jpg"));
        EXPECT_EQ(QDir(disk.file(QStringLiteral("Halvik"))).entryList(QDir::Files | QDir::Hidden),
                  QStringList{QStringLiteral("tessaron.ini")});
    }
    disk.makeRoom();
    save(path, newer);
    EXPECT_EQ(load(path).first, newer);
}

} // namespace
