#include "wallpaper/PreviousWallpaper.h"
#include "platform/DesktopWallpaper.h"
#include "platform/IniProfile.h"
#include "platform/LockScreenPicture.h"
#include "platform/linux/RgbImage.h"
#include "platform/linux/X11Wallpaper.h"
#include "tests/support/XvfbServer.h"
#include "wallpaper/PreviousLockScreen.h"
#include "wallpaper/WallpaperApplier.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <xcb/xcb.h>
#include <xcb/xcb_image.h>

#include <vector>

namespace {

// A desktop whose wallpaper is a plain record, with a switch that makes it unreachable.
class RecordingDesktop final : public DesktopWallpaper {
public:
    QString name() const override { return QStringLiteral("recording"); }

    WallpaperSnapshot current{{QStringLiteral("/home/u/own.jpg"), 2, QStringLiteral("0")},
                              QStringLiteral("own detail")};
    bool reachable = true;
    std::vector<WallpaperValues> shown;
    std::vector<WallpaperSnapshot> restored;

protected:
    bool doProbe() override { return reachable; }
    bool doShow(const WallpaperValues& values) override {
        if (!reachable)
            return false;
        shown.push_back(values);
        current = {values, {}};
        return true;
    }
    std::optional<WallpaperSnapshot> doRead() override {
        if (!reachable)
            return std::nullopt;
        return current;
    }
    bool doRestore(const WallpaperSnapshot& snapshot) override {
        if (!reachable)
            return false;
        restored.push_back(snapshot);
        current = snapshot;
        return true;
    }
};

class PreviousWallpaperTest : public testing::Test {
protected:
    std::optional<std::int64_t> needStore() const {
        return m_profile.readInt(QStringLiteral("Store"), QStringLiteral("NeedStore"));
    }
    QString stored(const char* key) const {
        return m_profile.readString(QStringLiteral("Store"), QString::fromLatin1(key))
            .value_or(QStringLiteral("<absent>"));
    }
    void showOurs(const QString& path) { m_desktop.show({path, 1, QStringLiteral("0")}); }

    QTemporaryDir m_dir;
    IniProfile m_profile{m_dir.filePath(QStringLiteral("profile.ini"))};
    RecordingDesktop m_desktop;
    PreviousWallpaper m_previous{m_profile, m_desktop};
};

TEST_F(PreviousWallpaperTest, FirstStartRecordsAndLaterStartsKeepTheRecord) {
    m_previous.StoreOldWallpaper();
    EXPECT_EQ(needStore(), 0);
    EXPECT_EQ(stored("Wallpaper"), QStringLiteral("/home/u/own.jpg"));
    EXPECT_EQ(stored("WallpaperStyle"), QStringLiteral("2"));
    EXPECT_EQ(stored("TileWallpaper"), QStringLiteral("0"));
    EXPECT_EQ(stored("DesktopRecord"), QStringLiteral("own detail"));

    // The program's own picture is up when the second start comes: it must not be recorded.
    showOurs(QStringLiteral("/data/Wallpaper/A.BMP"));
    m_previous.StoreOldWallpaper();
    EXPECT_EQ(stored("Wallpaper"), QStringLiteral("/home/u/own.jpg"));
    EXPECT_EQ(needStore(), 0);
}

TEST_F(PreviousWallpaperTest, YesRestoresOnceAndTheNextStartRecordsAgain) {
    m_previous.StoreOldWallpaper();
    showOurs(QStringLiteral("/data/Wallpaper/A.BMP"));

    m_previous.RestoreOldWallpaper();
    ASSERT_EQ(m_desktop.restored.size(), 1u);
    EXPECT_EQ(m_desktop.restored[0].values,
              (WallpaperValues{QStringLiteral("/home/u/own.jpg"), 2, QStringLiteral("0")}));
    EXPECT_EQ(m_desktop.restored[0].detail, QStringLiteral("own detail"));
    EXPECT_EQ(needStore(), 1);

    // A second restore in the same state does nothing.
    m_previous.RestoreOldWallpaper();
    EXPECT_EQ(m_desktop.restored.size(), 1u);

    m_desktop.current = {{QStringLiteral("/home/u/new.png"), 0, QStringLiteral("1")}, {}};
    m_previous.StoreOldWallpaper();
    EXPECT_EQ(needStore(), 0);
    EXPECT_EQ(stored("Wallpaper"), QStringLiteral("/home/u/new.png"));
    EXPECT_EQ(stored("TileWallpaper"), QStringLiteral("1"));
    EXPECT_EQ(stored("DesktopRecord"), QStringLiteral("<absent>"));
}

TEST_F(PreviousWallpaperTest, NoKeepsTheRecordForALaterYes) {
    m_previous.StoreOldWallpaper();
    showOurs(QStringLiteral("/data/Wallpaper/A.BMP"));
    // Exit with No: nothing is called. Next run: start, change, exit with Yes.
    m_previous.StoreOldWallpaper();
    showOurs(QStringLiteral("/data/Wallpaper/B.BMP"));
    m_previous.RestoreOldWallpaper();
    ASSERT_EQ(m_desktop.restored.size(), 1u);
    EXPECT_EQ(m_desktop.restored[0].values.wallpaper, QStringLiteral("/home/u/own.jpg"));
}

TEST_F(PreviousWallpaperTest, RestoreWithoutARecordDoesNothing) {
    m_previous.RestoreOldWallpaper();
    EXPECT_TRUE(m_desktop.restored.empty());
    EXPECT_FALSE(needStore());
}

TEST_F(PreviousWallpaperTest, UnreadableDesktopRecordsNothingAndLeavesNeedStore) {
    m_desktop.reachable = false;
    m_previous.StoreOldWallpaper();
    EXPECT_FALSE(needStore());
    EXPECT_EQ(stored("Wallpaper"), QStringLiteral("<absent>"));
    // So an exit with Yes makes no wallpaper call with values never read.
    m_desktop.reachable = true;
    m_previous.RestoreOldWallpaper();
    EXPECT_TRUE(m_desktop.restored.empty());
    // The next start that can read the desktop records it.
    m_previous.StoreOldWallpaper();
    EXPECT_EQ(needStore(), 0);
}

TEST_F(PreviousWallpaperTest, RefusedRestoreKeepsTheRecord) {
    m_previous.StoreOldWallpaper();
    m_desktop.reachable = false;
    m_previous.RestoreOldWallpaper();
    EXPECT_EQ(needStore(), 0);
    m_desktop.reachable = true;
    m_previous.RestoreOldWallpaper();
    ASSERT_EQ(m_desktop.restored.size(), 1u);
    EXPECT_EQ(needStore(), 1);
}

TEST_F(PreviousWallpaperTest, MissingRecordedValuesTakeTheirFallbacks) {
    m_profile.writeInt(QStringLiteral("Store"), QStringLiteral("NeedStore"), 0);
    m_previous.RestoreOldWallpaper();
    ASSERT_EQ(m_desktop.restored.size(), 1u);
    EXPECT_EQ(m_desktop.restored[0],
              (WallpaperSnapshot{{QString(), 0, QStringLiteral("0")}, QString()}));
}

TEST(WallpaperApplierTest, TileFlagFollowsTheLayoutAndStyleIsAlwaysOne) {
    QTemporaryDir dir;
    const QString bitmap = dir.filePath(QStringLiteral("PIC.BMP"));
    QFile file(bitmap);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    RecordingDesktop desktop;
    WallpaperApplier applier(desktop);
    for (const std::int32_t layout : {0, 1, 2, 3, -1, 7})
        applier.ApplyWallpaper(bitmap, layout);
    ASSERT_EQ(desktop.shown.size(), 6u);
    const char* expected[] = {"0", "1", "0", "0", "0", "0"};
    for (std::size_t i = 0; i < desktop.shown.size(); ++i) {
        EXPECT_EQ(desktop.shown[i].wallpaper, bitmap);
        EXPECT_EQ(desktop.shown[i].wallpaperStyle, 1);
        EXPECT_EQ(desktop.shown[i].tileWallpaper, QString::fromLatin1(expected[i])) << i;
    }
}

TEST(WallpaperApplierTest, NoFileMeansNoCallAtAll) {
    QTemporaryDir dir;
    RecordingDesktop desktop;
    WallpaperApplier applier(desktop);
    applier.ApplyWallpaper(dir.filePath(QStringLiteral("GONE.BMP")), 1);
    applier.ApplyWallpaper(QString(), 0);
    applier.ApplyWallpaper(dir.path(), 0); // a folder is no bitmap
    EXPECT_TRUE(desktop.shown.empty());
}

// The whole cycle on a real X display: the user's background comes back after the program's.
TEST(PreviousWallpaperX11Test, RestorePutsTheUsersBackgroundBack) {
    XvfbServer xvfb(QStringLiteral("32x24x24"));
    ASSERT_TRUE(xvfb.isRunning());
    QTemporaryDir dir;
    X11Wallpaper desktop(xvfb.display().toLocal8Bit(), dir.filePath(QStringLiteral("data")));
    IniProfile profile(dir.filePath(QStringLiteral("profile.ini")));

    RgbImage users;
    users.width = 1;
    users.height = 1;
    users.pixels = {0x11, 0x22, 0x33};
    const QString usersPath = dir.filePath(QStringLiteral("users.bmp"));
    ASSERT_TRUE(users.save(usersPath));
    ASSERT_TRUE(desktop.show({usersPath, 0, QStringLiteral("1")}));

    PreviousWallpaper previous(profile, desktop);
    previous.StoreOldWallpaper();
    RgbImage ours = users;
    ours.pixels = {0xee, 0xdd, 0xcc};
    const QString oursPath = dir.filePath(QStringLiteral("OURS.BMP"));
    ASSERT_TRUE(ours.save(oursPath));
    WallpaperApplier(desktop).ApplyWallpaper(oursPath, 1);

    xcb_connection_t* c = xcb_connect(xvfb.display().toLocal8Bit().constData(), nullptr);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const auto pixelAt = [&](int x, int y) {
        xcb_image_t* image = xcb_image_get(c, root, x, y, 1, 1, ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP);
        const std::uint32_t value = image ? xcb_image_get_pixel(image, 0, 0) & 0xffffff : 0;
        xcb_image_destroy(image);
        return value;
    };
    EXPECT_EQ(pixelAt(5, 5), 0xeeddccu);
    previous.RestoreOldWallpaper();
    EXPECT_EQ(pixelAt(5, 5), 0x112233u);
    EXPECT_EQ(pixelAt(31, 23), 0x112233u);
    EXPECT_EQ(profile.readInt(QStringLiteral("Store"), QStringLiteral("NeedStore")), 1);
    xcb_disconnect(c);
}

} // namespace

namespace {

// A lock screen whose picture is a plain record, with a switch that makes it refuse restores.
class RecordingLockScreen final : public LockScreenPicture {
public:
    std::optional<QString> read() override { return current; }
    void show(const std::vector<ScreenBitmap>& screens) override {
        current = screens.front().bitmap;
    }
    bool restore(const QString& record) override {
        if (refuse)
            return false;
        current = record;
        return true;
    }
    QString current = QStringLiteral("own.png");
    bool refuse = false;
};

TEST(PreviousLockScreen, RecordsTheUsersPictureOnceAndShowsNothingOnceItIsBack) {
    QTemporaryDir dir;
    IniProfile profile(dir.filePath(QStringLiteral("p.ini")));
    RecordingLockScreen lock;
    PreviousLockScreen previous(profile, lock);
    const std::vector<ScreenBitmap> ours{{ScreenMetrics{}, QStringLiteral("/w/A.bmp")}};
    previous.show(ours);
    EXPECT_EQ(lock.current, QStringLiteral("own.png")) << "nothing before it is recorded";
    previous.store();
    previous.show(ours);
    // A later start does not take the program's picture for the user's.
    previous.store();
    lock.refuse = true;
    previous.restore();
    EXPECT_EQ(profile.readString("Store", "LockScreen"), QStringLiteral("own.png"));
    lock.refuse = false;
    previous.store();
    previous.restore();
    EXPECT_EQ(lock.current, QStringLiteral("own.png"));
    EXPECT_FALSE(profile.readString("Store", "LockScreen"));
    previous.show(ours);
    EXPECT_EQ(lock.current, QStringLiteral("own.png"));
}

} // namespace
