#define G_SETTINGS_ENABLE_BACKEND
#include <gio/gio.h>
#include <gio/gsettingsbackend.h>

#include "platform/linux/GSettingsWallpaper.h"

#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

struct Case {
    GSettingsWallpaper::Flavour flavour;
    const char* schema;
    const char* pictureKey;
    bool pictureIsUri;
};

// Each desktop's keys in a keyfile settings store of the test's own, read and written through
// GSettings exactly as the desktop itself would.
class GSettingsWallpaperTest : public testing::TestWithParam<Case> {
protected:
    void SetUp() override {
        m_backend = g_keyfile_settings_backend_new(
            m_dir.filePath(QStringLiteral("keyfile")).toUtf8().constData(), "/", nullptr);
        GSettingsSchema* schema = g_settings_schema_source_lookup(
            g_settings_schema_source_get_default(), GetParam().schema, TRUE);
        ASSERT_NE(schema, nullptr) << GetParam().schema << " is not installed";
        m_settings = g_settings_new_full(schema, m_backend, nullptr);
        g_settings_schema_unref(schema);
        m_backend_ = std::make_unique<GSettingsWallpaper>(GetParam().flavour, m_backend);
    }
    void TearDown() override {
        m_backend_.reset();
        if (m_settings)
            g_object_unref(m_settings);
        g_object_unref(m_backend);
    }

    QString get(const char* key) const {
        gchar* text = g_settings_get_string(m_settings, key);
        const QString value = QString::fromUtf8(text);
        g_free(text);
        return value;
    }
    void set(const char* key, const char* value) {
        ASSERT_TRUE(g_settings_set_string(m_settings, key, value));
        g_settings_sync();
    }
    bool userSet(const char* key) const {
        GVariant* value = g_settings_get_user_value(m_settings, key);
        if (value)
            g_variant_unref(value);
        return value != nullptr;
    }
    QString picture(const QString& path) const {
        return GetParam().pictureIsUri ? QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded)
                                       : path;
    }
    bool hasDarkKey() const { return GetParam().flavour == GSettingsWallpaper::Flavour::Gnome; }

    QTemporaryDir m_dir;
    GSettingsBackend* m_backend = nullptr;
    GSettings* m_settings = nullptr;
    std::unique_ptr<GSettingsWallpaper> m_backend_;
};

TEST_P(GSettingsWallpaperTest, ShowSetsThePictureAndTileOrCentre) {
    ASSERT_TRUE(m_backend_->probe());
    const QString bitmap = QStringLiteral("/data/Halvik/tessaron/Wallpaper/MY PIC #1.BMP");
    ASSERT_TRUE(m_backend_->show({bitmap, 1, QStringLiteral("1")}));
    EXPECT_EQ(get(GetParam().pictureKey), picture(bitmap));
    EXPECT_EQ(get("picture-options"), QStringLiteral("wallpaper"));
    if (hasDarkKey()) {
        EXPECT_EQ(get("picture-uri-dark"), picture(bitmap));
    }

    ASSERT_TRUE(m_backend_->show({bitmap, 1, QStringLiteral("0")}));
    EXPECT_EQ(get("picture-options"), QStringLiteral("centered"));
    EXPECT_EQ(get(GetParam().pictureKey), picture(bitmap));
}

TEST_P(GSettingsWallpaperTest, RestoreGivesBackExactlyWhatTheUserHad) {
    set(GetParam().pictureKey, picture(QStringLiteral("/home/u/Bilder/Meer ü.jpg")).toUtf8());
    set("picture-options", "zoom");
    // picture-uri-dark (GNOME) is left at its default: the user never set it.
    const std::optional<WallpaperSnapshot> snapshot = m_backend_->read();
    ASSERT_TRUE(snapshot);
    EXPECT_EQ(snapshot->values.wallpaper, QStringLiteral("/home/u/Bilder/Meer ü.jpg"));
    EXPECT_EQ(snapshot->values.wallpaperStyle, 10);
    EXPECT_EQ(snapshot->values.tileWallpaper, QStringLiteral("0"));

    ASSERT_TRUE(m_backend_->show({QStringLiteral("/w/A.BMP"), 1, QStringLiteral("1")}));
    if (hasDarkKey()) {
        ASSERT_TRUE(userSet("picture-uri-dark"));
    }
    ASSERT_TRUE(m_backend_->restore(*snapshot));
    EXPECT_EQ(get(GetParam().pictureKey), picture(QStringLiteral("/home/u/Bilder/Meer ü.jpg")));
    EXPECT_EQ(get("picture-options"), QStringLiteral("zoom"));
    if (hasDarkKey()) {
        EXPECT_FALSE(userSet("picture-uri-dark"));
    }

    // A store with nothing set by the user resets everything on restore.
    g_settings_reset(m_settings, GetParam().pictureKey);
    g_settings_reset(m_settings, "picture-options");
    g_settings_sync();
    const std::optional<WallpaperSnapshot> pristine = m_backend_->read();
    ASSERT_TRUE(pristine);
    ASSERT_TRUE(m_backend_->show({QStringLiteral("/w/B.BMP"), 1, QStringLiteral("0")}));
    ASSERT_TRUE(m_backend_->restore(*pristine));
    EXPECT_FALSE(userSet(GetParam().pictureKey));
    EXPECT_FALSE(userSet("picture-options"));
}

TEST_P(GSettingsWallpaperTest, ValuesAloneRestoreStyleAndNone) {
    // A record from another desktop carries only the three values.
    ASSERT_TRUE(m_backend_->restore(
        {{QStringLiteral("/home/u/a.png"), 22, QStringLiteral("0")}, QStringLiteral("{}")}));
    EXPECT_EQ(get(GetParam().pictureKey), picture(QStringLiteral("/home/u/a.png")));
    EXPECT_EQ(get("picture-options"), QStringLiteral("spanned"));
    ASSERT_TRUE(m_backend_->restore({{QString(), 0, QStringLiteral("0")}, QString()}));
    if (GetParam().flavour != GSettingsWallpaper::Flavour::Mate) {
        EXPECT_EQ(get("picture-options"), QStringLiteral("none"));
    }
    const std::optional<WallpaperSnapshot> none = m_backend_->read();
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->values.wallpaper.isEmpty());
}

TEST_P(GSettingsWallpaperTest, SamePathAgainPassesThroughAnotherValue) {
    const QString bitmap = QStringLiteral("/w/SAME.BMP");
    ASSERT_TRUE(m_backend_->show({bitmap, 1, QStringLiteral("0")}));
    int changes = 0;
    const QByteArray signal = QByteArray("changed::") + GetParam().pictureKey;
    g_signal_connect(
        m_settings, signal.constData(),
        G_CALLBACK(+[](GSettings*, gchar*, gpointer count) { ++*static_cast<int*>(count); }),
        &changes);
    ASSERT_TRUE(m_backend_->show({bitmap, 1, QStringLiteral("0")}));
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
    EXPECT_GE(changes, 2);
    EXPECT_EQ(get(GetParam().pictureKey), picture(bitmap));
}

TEST_P(GSettingsWallpaperTest, TamperedRecordWritesNothingInvalid) {
    set("picture-options", "scaled");
    const QString detail = QStringLiteral(R"({"backend":"%1","keys":{"picture-options":"bogus",)"
                                          R"("no-such-key":"x"}})")
                               .arg(m_backend_->name());
    EXPECT_FALSE(m_backend_->restore({{}, detail}));
    EXPECT_EQ(get("picture-options"), QStringLiteral("scaled"));
}

INSTANTIATE_TEST_SUITE_P(Desktops, GSettingsWallpaperTest,
                         testing::Values(Case{GSettingsWallpaper::Flavour::Gnome,
                                              "org.gnome.desktop.background", "picture-uri", true},
                                         Case{GSettingsWallpaper::Flavour::Cinnamon,
                                              "org.cinnamon.desktop.background", "picture-uri",
                                              true},
                                         Case{GSettingsWallpaper::Flavour::Mate,
                                              "org.mate.background", "picture-filename", false}),
                         [](const testing::TestParamInfo<Case>& param) {
                             return std::string(
                                 param.param.flavour == GSettingsWallpaper::Flavour::Gnome ? "Gnome"
                                 : param.param.flavour == GSettingsWallpaper::Flavour::Cinnamon
                                     ? "Cinnamon"
                                     : "Mate");
                         });

} // namespace
