#define G_SETTINGS_ENABLE_BACKEND
#include <gio/gio.h>
#include <gio/gsettingsbackend.h>

#include "platform/linux/LinuxLockScreen.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class LockScreenTest : public ::testing::Test {
protected:
    LockScreenTest() {
        for (const char* name : {"A.bmp", "B.bmp"}) {
            QFile bitmap(m_dir.filePath(name));
            bitmap.open(QIODevice::WriteOnly);
            bitmap.write(QByteArray("BM ") + name);
        }
    }
    std::vector<ScreenBitmap> screens(const char* left, const char* right) const {
        ScreenMetrics first, second;
        first.name = "DP-1";
        second.name = "HDMI-1";
        return {{first, m_dir.filePath(left)}, {second, m_dir.filePath(right)}};
    }
    QString state(const char* name) const { return m_dir.filePath(QString("state/") + name); }

    QTemporaryDir m_dir;
};

// Each desktop's settings in stores of the test's own: a GSettings keyfile and a real
// kscreenlockerrc, read back as the desktop reads them.
TEST_F(LockScreenTest, GnomeFollowsTheDesktopsPictureAndRestoreResetsWhatTheUserNeverSet) {
    GSettingsBackend* backend = g_keyfile_settings_backend_new(
        m_dir.filePath("keyfile").toUtf8().constData(), "/", nullptr);
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    GSettingsSchema* schema[2] = {
        g_settings_schema_source_lookup(source, "org.gnome.desktop.background", TRUE),
        g_settings_schema_source_lookup(source, "org.gnome.desktop.screensaver", TRUE)};
    ASSERT_TRUE(schema[0] && schema[1]);
    GSettings* background = g_settings_new_full(schema[0], backend, nullptr);
    GSettings* saver = g_settings_new_full(schema[1], backend, nullptr);
    g_settings_set_string(background, "picture-uri", "file:///w/A.bmp");
    g_settings_set_string(background, "picture-options", "spanned");
    g_settings_set_string(saver, "picture-options", "zoom");
    g_settings_sync();
    {
        LinuxLockScreen lock(LinuxLockScreen::Desktop::Gnome, m_dir.filePath("state"), m_dir.path(),
                             backend);
        const std::optional<QString> record = lock.read();
        ASSERT_TRUE(record);
        lock.show(screens("A.bmp", "B.bmp"));
        gchar* uri = g_settings_get_string(saver, "picture-uri");
        gchar* options = g_settings_get_string(saver, "picture-options");
        EXPECT_STREQ(uri, "file:///w/A.bmp");
        EXPECT_STREQ(options, "spanned");
        g_free(uri);
        g_free(options);
        // The stable files stand for every screen, and for the first.
        EXPECT_EQ(contentOf(state("current.bmp")), "BM A.bmp");
        EXPECT_EQ(contentOf(state("current-DP-1.bmp")), "BM A.bmp");
        EXPECT_EQ(contentOf(state("current-HDMI-1.bmp")), "BM B.bmp");
        lock.show(screens("B.bmp", "A.bmp"));
        EXPECT_EQ(contentOf(state("current-HDMI-1.bmp")), "BM A.bmp");

        ASSERT_TRUE(lock.restore(*record));
        GVariant* never = g_settings_get_user_value(saver, "picture-uri");
        EXPECT_EQ(never, nullptr);
        gchar* own = g_settings_get_string(saver, "picture-options");
        EXPECT_STREQ(own, "zoom");
        g_free(own);
        EXPECT_EQ(contentOf(state("current.bmp")), "BM B.bmp");
    }
    for (GSettings* settings : {background, saver})
        g_object_unref(settings);
    for (GSettingsSchema* each : schema)
        g_settings_schema_unref(each);
    g_object_unref(backend);
}

TEST_F(LockScreenTest, PlasmasScreenLockerShowsTheStableFileAndGetsTheUsersImageBack) {
    const QString config = m_dir.filePath("kscreenlockerrc");
    const QByteArray own = "[Daemon]\nTimeout=5\n\n[Greeter]\nTheme=breeze\n\n"
                           "[Greeter][Wallpaper][org.kde.image][General]\n"
                           "Image=file:///home/me/own.png\nFillMode=2\n";
    QFile file(config);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(own) == own.size());
    file.close();
    LinuxLockScreen lock(LinuxLockScreen::Desktop::Plasma, m_dir.filePath("state"), m_dir.path());
    const std::optional<QString> record = lock.read();
    ASSERT_TRUE(record);
    lock.show(screens("A.bmp", "B.bmp"));
    const QByteArray shown = contentOf(config);
    EXPECT_TRUE(shown.contains("[Greeter]\nWallpaperPlugin=org.kde.image\nTheme=breeze\n"))
        << shown.constData();
    EXPECT_TRUE(shown.contains("Image=file://" + QFile::encodeName(state("current.bmp")) +
                               "\nFillMode=2\n"))
        << shown.constData();
    ASSERT_TRUE(lock.restore(*record));
    EXPECT_EQ(contentOf(config), own);
}

} // namespace
