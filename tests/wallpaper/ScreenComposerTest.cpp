#define G_SETTINGS_ENABLE_BACKEND
#include <gio/gio.h>
#include <gio/gsettingsbackend.h>

#include "bitmap/BitmapWriter.h"
#include "platform/linux/GSettingsWallpaper.h"
#include "wallpaper/ScreenComposer.h"
#include "wallpaper/WallpaperApplier.h"

#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace {

constexpr std::int32_t kCentered = 0, kTile = 1;

// Three screens of different sizes, one left of the desktop's origin, one lower than the
// others; each bitmap is written by the test, one colour each.
class ScreenComposerTest : public testing::Test {
protected:
    void SetUp() override {
        m_parts = {part("left", {-30, 40, 30, 20}, {30, 20}, Qt::blue),
                   part("middle", {0, 100, 40, 30}, {40, 30}, Qt::red),
                   part("right", {40, 0, 50, 60}, {20, 10}, Qt::green)};
    }

    ScreenBitmap part(const QString& name, const QRect& geometry, const QSize& bitmapSize,
                      Qt::GlobalColor colour) {
        ScreenBitmap part;
        part.screen.name = name;
        part.screen.origin = geometry.topLeft();
        part.screen.screen = geometry.size();
        part.bitmap = m_dir.filePath(name + QStringLiteral(".bmp"));
        QImage image(bitmapSize, QImage::Format_RGB32);
        image.fill(colour);
        EXPECT_TRUE(image.save(part.bitmap));
        return part;
    }

    // The result's pixel at a place on the desktop (whose box starts at -30, 0).
    QColor at(const QImage& image, int x, int y) const { return image.pixelColor(x + 30, y); }

    QTemporaryDir m_dir;
    std::vector<ScreenBitmap> m_parts;
};

TEST_F(ScreenComposerTest, EachScreenHoldsItsPictureAndTheGapsAreBlack) {
    const QString out = m_dir.filePath(QStringLiteral("all.bmp"));
    ASSERT_TRUE(ScreenComposer::compose(m_parts, kCentered, out));
    // The user's alone, like every file of the program's.
    EXPECT_EQ(QFileInfo(out).permissions() & QFile::Permissions::fromInt(0x7077),
              QFile::ReadOwner | QFile::WriteOwner);
    const QImage image(out);
    ASSERT_EQ(image.size(), QSize(120, 130));
    EXPECT_EQ(at(image, -30, 40), QColor(Qt::blue));
    EXPECT_EQ(at(image, -1, 59), QColor(Qt::blue));
    EXPECT_EQ(at(image, 0, 100), QColor(Qt::red));
    EXPECT_EQ(at(image, 39, 129), QColor(Qt::red));
    // The smaller picture is centred on its screen, with black around it.
    EXPECT_EQ(at(image, 55, 25), QColor(Qt::green));
    EXPECT_EQ(at(image, 74, 34), QColor(Qt::green));
    EXPECT_EQ(at(image, 54, 25), QColor(Qt::black));
    EXPECT_EQ(at(image, 40, 0), QColor(Qt::black));
    // Where no screen is.
    for (const QPoint gap : {QPoint(-30, 0), QPoint(-1, 39), QPoint(0, 60), QPoint(89, 129)})
        EXPECT_EQ(at(image, gap.x(), gap.y()), QColor(Qt::black)) << gap.x() << "," << gap.y();

    // Tiled, the small picture covers its whole screen and no more.
    ASSERT_TRUE(ScreenComposer::compose(m_parts, kTile, out));
    const QImage tiled(out);
    EXPECT_EQ(at(tiled, 40, 0), QColor(Qt::green));
    EXPECT_EQ(at(tiled, 89, 59), QColor(Qt::green));
    EXPECT_EQ(at(tiled, 89, 60), QColor(Qt::black));

    // A part that is no bitmap fails the whole, and nothing is left at the target.
    QFile::remove(out);
    QFile broken(m_parts[1].bitmap);
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("BM not really");
    broken.close();
    EXPECT_FALSE(ScreenComposer::compose(m_parts, kCentered, out));
    EXPECT_FALSE(QFile::exists(out));

    // Nor is a part wider than its screen read, whatever its header claims (here a sparse
    // 2 GB bitmap of one row): no row of its width is ever held.
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    const auto header = BitmapWriter::headers(700000000, 1);
    broken.write(reinterpret_cast<const char*>(header->data()), header->size());
    ASSERT_TRUE(broken.resize(54 + 2100000000LL));
    broken.close();
    rusage before{};
    ::getrusage(RUSAGE_SELF, &before);
    EXPECT_FALSE(ScreenComposer::compose(m_parts, kCentered, out));
    rusage after{};
    ::getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 << 10); // KiB
    EXPECT_FALSE(QFile::exists(out));
}

TEST_F(ScreenComposerTest, GnomeShowsTheComposedBitmapSpanned) {
    GSettingsBackend* backend = g_keyfile_settings_backend_new(
        m_dir.filePath(QStringLiteral("keyfile")).toUtf8().constData(), "/", nullptr);
    GSettingsWallpaper gnome(GSettingsWallpaper::Flavour::Gnome, backend);
    WallpaperApplier applier(gnome);
    EXPECT_FALSE(applier.takesEachScreen());
    const QString out = m_dir.filePath(QStringLiteral("A.bmp"));
    ASSERT_TRUE(ScreenComposer::compose(m_parts, kCentered, out));
    applier.ApplySpanned(out);

    GSettingsSchema* schema = g_settings_schema_source_lookup(
        g_settings_schema_source_get_default(), "org.gnome.desktop.background", TRUE);
    ASSERT_NE(schema, nullptr);
    GSettings* settings = g_settings_new_full(schema, backend, nullptr);
    const auto get = [settings](const char* key) {
        gchar* text = g_settings_get_string(settings, key);
        const QString value = QString::fromUtf8(text);
        g_free(text);
        return value;
    };
    EXPECT_EQ(get("picture-options"), QStringLiteral("spanned"));
    const QUrl shown(get("picture-uri"));
    ASSERT_TRUE(shown.isLocalFile());
    EXPECT_EQ(shown.toLocalFile(), out);
    const QImage image(shown.toLocalFile());
    EXPECT_EQ(image.size(), QSize(120, 130));
    EXPECT_EQ(at(image, 0, 100), QColor(Qt::red));
    EXPECT_EQ(at(image, -30, 40), QColor(Qt::blue));
    g_object_unref(settings);
    g_settings_schema_unref(schema);
    g_object_unref(backend);
}

} // namespace
