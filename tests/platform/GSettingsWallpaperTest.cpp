#define G_SETTINGS_ENABLE_BACKEND
#include <gio/gio.h>
#include <gio/gsettingsbackend.h>

#include "platform/linux/GSettingsWallpaper.h"

#include <QFile>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

#include <vector>

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

TEST_P(GSettingsWallpaperTest, EachChangeArrivesWholeAndARepeatedNameNeverBlanks) {
    // Real bitmaps: a repeated name is shown through a second name of the same file.
    const QString first = m_dir.filePath(QStringLiteral("FIRST.BMP"));
    const QString same = m_dir.filePath(QStringLiteral("SAME.BMP"));
    for (const QString& path : {first, same}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(path.toUtf8());
    }
    ASSERT_TRUE(m_backend_->show({first, 1, QStringLiteral("1")}));

    // What the desktop would read at each change it is told of.
    struct Seen {
        QString picture, options;
    };
    struct Watch {
        const char* pictureKey;
        std::vector<Seen> seen;
    } watch{GetParam().pictureKey, {}};
    const gulong handler = g_signal_connect(
        m_settings, "changed", G_CALLBACK(+[](GSettings* settings, gchar*, gpointer data) {
            auto* w = static_cast<Watch*>(data);
            const auto text = [settings](const char* key) {
                gchar* value = g_settings_get_string(settings, key);
                const QString result = QString::fromUtf8(value);
                g_free(value);
                return result;
            };
            w->seen.push_back({text(w->pictureKey), text("picture-options")});
        }),
        &watch);

    ASSERT_TRUE(m_backend_->show({same, 1, QStringLiteral("0")}));
    const QString shown = get(GetParam().pictureKey);
    EXPECT_EQ(shown, picture(same));
    // The same name again, its file made anew: shown under the other name of that file, and
    // back again the time after.
    ASSERT_TRUE(m_backend_->show({same, 1, QStringLiteral("0")}));
    const QString again = get(GetParam().pictureKey);
    EXPECT_NE(again, shown);
    const QString againPath = GetParam().pictureIsUri ? QUrl(again).toLocalFile() : again;
    QFile alias(againPath);
    ASSERT_TRUE(alias.open(QIODevice::ReadOnly)) << againPath.toStdString();
    EXPECT_EQ(alias.readAll(), same.toUtf8());
    ASSERT_TRUE(m_backend_->show({same, 1, QStringLiteral("0")}));
    EXPECT_EQ(get(GetParam().pictureKey), shown);
    g_signal_handler_disconnect(m_settings, handler);

    ASSERT_FALSE(watch.seen.empty());
    for (const Seen& state : watch.seen) {
        EXPECT_FALSE(state.picture.isEmpty());
        EXPECT_NE(state.picture, picture(first)) << "the new placement with the old picture";
        EXPECT_EQ(state.options, QStringLiteral("centered"))
            << state.picture.toStdString() << " with the old placement";
    }
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
