#include "platform/linux/X11Wallpaper.h"
#include "bitmap/BitmapWriter.h"
#include "platform/linux/RgbImage.h"
#include "tests/support/XvfbServer.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <xcb/xcb.h>
#include <xcb/xcb_image.h>

#include <cstdlib>
#include <memory>
#include <sys/resource.h>

namespace {

using Rgb = std::uint32_t; // 0xRRGGBB

// A picture whose pixels are given row by row.
RgbImage picture(int width, int height, std::initializer_list<Rgb> colours) {
    RgbImage image;
    image.width = width;
    image.height = height;
    for (const Rgb colour : colours) {
        image.pixels.push_back(static_cast<std::uint8_t>(colour >> 16));
        image.pixels.push_back(static_cast<std::uint8_t>(colour >> 8));
        image.pixels.push_back(static_cast<std::uint8_t>(colour));
    }
    return image;
}

// The test's own view of the display, as another client sees it.
class RootView {
public:
    explicit RootView(const QString& display) {
        m_connection = xcb_connect(display.toLocal8Bit().constData(), nullptr);
        m_screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
    }
    ~RootView() { xcb_disconnect(m_connection); }

    Rgb pixel(int x, int y) const {
        xcb_image_t* image =
            xcb_image_get(m_connection, m_screen->root, x, y, 1, 1, ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP);
        if (!image)
            return 0xdeadbeef;
        const Rgb value = xcb_image_get_pixel(image, 0, 0) & 0xffffff;
        xcb_image_destroy(image);
        return value;
    }

    xcb_pixmap_t pixmapProperty(const char* name) const {
        auto* atom = xcb_intern_atom_reply(
            m_connection, xcb_intern_atom(m_connection, 0, std::strlen(name), name), nullptr);
        const xcb_atom_t property = atom->atom;
        std::free(atom);
        auto* reply = xcb_get_property_reply(
            m_connection,
            xcb_get_property(m_connection, 0, m_screen->root, property, XCB_ATOM_PIXMAP, 0, 1),
            nullptr);
        xcb_pixmap_t pixmap = XCB_NONE;
        if (reply && xcb_get_property_value_length(reply) == 4)
            pixmap = *static_cast<xcb_pixmap_t*>(xcb_get_property_value(reply));
        std::free(reply);
        return pixmap;
    }

    bool pixmapExists(xcb_pixmap_t pixmap) const {
        auto* reply =
            xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, pixmap), nullptr);
        std::free(reply);
        return reply != nullptr;
    }

private:
    xcb_connection_t* m_connection = nullptr;
    xcb_screen_t* m_screen = nullptr;
};

class X11WallpaperTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_xvfb.isRunning());
        m_backend = std::make_unique<X11Wallpaper>(m_xvfb.display().toLocal8Bit(),
                                                   m_dir.filePath(QStringLiteral("data")));
        m_root = std::make_unique<RootView>(m_xvfb.display());
    }

    QString write(const RgbImage& image, const QString& name) {
        const QString path = m_dir.filePath(name);
        EXPECT_TRUE(image.save(path));
        return path;
    }
    bool show(const QString& path, bool tile) {
        return m_backend->show({path, 1, tile ? QStringLiteral("1") : QStringLiteral("0")});
    }

    XvfbServer m_xvfb{QStringLiteral("64x48x24")};
    QTemporaryDir m_dir;
    std::unique_ptr<X11Wallpaper> m_backend;
    std::unique_ptr<RootView> m_root;
};

TEST_F(X11WallpaperTest, TiledPictureRepeatsFromTheTopLeftCorner) {
    const QString path =
        write(picture(3, 2, {0xff0000, 0x00ff00, 0x0000ff, 0x102030, 0x405060, 0x708090}),
              QStringLiteral("tile.bmp"));
    ASSERT_TRUE(m_backend->probe());
    ASSERT_TRUE(show(path, true));
    EXPECT_EQ(m_root->pixel(0, 0), 0xff0000u);
    EXPECT_EQ(m_root->pixel(2, 0), 0x0000ffu);
    EXPECT_EQ(m_root->pixel(1, 1), 0x405060u);
    EXPECT_EQ(m_root->pixel(3, 0), 0xff0000u);
    EXPECT_EQ(m_root->pixel(4, 3), 0x405060u);
    EXPECT_EQ(m_root->pixel(62, 47), 0x708090u);
}

TEST_F(X11WallpaperTest, CentredPictureSitsInTheMiddleSpannedOneAtTheCorner) {
    const QString path = write(picture(2, 2, {0xff0000, 0x00ff00, 0x0000ff, 0xffffff}),
                               QStringLiteral("centre.bmp"));
    ASSERT_TRUE(show(path, false));
    EXPECT_EQ(m_root->pixel(31, 23), 0xff0000u);
    EXPECT_EQ(m_root->pixel(32, 23), 0x00ff00u);
    EXPECT_EQ(m_root->pixel(31, 24), 0x0000ffu);
    EXPECT_EQ(m_root->pixel(32, 24), 0xffffffu);
    EXPECT_EQ(m_root->pixel(0, 0), 0x000000u);
    EXPECT_EQ(m_root->pixel(30, 23), 0x000000u);

    // A picture made for all screens together starts at the root's corner.
    ASSERT_TRUE(m_backend->show({path, 22, QStringLiteral("0")}));
    EXPECT_EQ(m_root->pixel(0, 0), 0xff0000u);
    EXPECT_EQ(m_root->pixel(1, 1), 0xffffffu);
    EXPECT_EQ(m_root->pixel(2, 0), 0x000000u);

    // A huge bitmap (sparse, one green pixel in its middle) is read only where it meets the
    // root: the program's memory does not grow with it.
    const QString huge = m_dir.filePath(QStringLiteral("huge.bmp"));
    {
        const auto header = BitmapWriter::headers(16384, 16384);
        QFile file(huge);
        ASSERT_TRUE(header && file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char*>(header->data()), header->size());
        ASSERT_TRUE(file.seek(54 + 8191LL * 49152 + 8192 * 3));
        file.write("\x00\xff\x00", 3);
        ASSERT_TRUE(file.resize(54 + 16384LL * 49152));
    }
    rusage before{};
    ::getrusage(RUSAGE_SELF, &before);
    ASSERT_TRUE(show(huge, false));
    rusage after{};
    ::getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 << 10); // KiB
    EXPECT_EQ(m_root->pixel(32, 24), 0x00ff00u);
    EXPECT_EQ(m_root->pixel(31, 24), 0x000000u);
}

TEST_F(X11WallpaperTest, AtomsNameTheNewPixmapAndTheOldOneIsFreed) {
    const QString red = write(picture(1, 1, {0xff0000}), QStringLiteral("red.bmp"));
    const QString blue = write(picture(1, 1, {0x0000ff}), QStringLiteral("blue.bmp"));
    ASSERT_TRUE(show(red, true));
    const xcb_pixmap_t first = m_root->pixmapProperty("_XROOTPMAP_ID");
    ASSERT_NE(first, xcb_pixmap_t(XCB_NONE));
    EXPECT_EQ(m_root->pixmapProperty("ESETROOT_PMAP_ID"), first);
    EXPECT_TRUE(m_root->pixmapExists(first));

    ASSERT_TRUE(show(blue, true));
    const xcb_pixmap_t second = m_root->pixmapProperty("_XROOTPMAP_ID");
    EXPECT_NE(second, first);
    EXPECT_EQ(m_root->pixmapProperty("ESETROOT_PMAP_ID"), second);
    EXPECT_TRUE(m_root->pixmapExists(second));
    EXPECT_FALSE(m_root->pixmapExists(first));
    EXPECT_EQ(m_root->pixel(10, 10), 0x0000ffu);
}

TEST_F(X11WallpaperTest, NewContentUnderTheSamePathIsShown) {
    const QString path = m_dir.filePath(QStringLiteral("WALL.BMP"));
    ASSERT_TRUE(picture(1, 1, {0x00ff00}).save(path));
    ASSERT_TRUE(show(path, true));
    ASSERT_TRUE(picture(1, 1, {0x123456}).save(path));
    ASSERT_TRUE(show(path, true));
    EXPECT_EQ(m_root->pixel(5, 5), 0x123456u);
}

TEST_F(X11WallpaperTest, UnreadablePictureLeavesTheBackgroundAlone) {
    const QString red = write(picture(1, 1, {0xff0000}), QStringLiteral("red.bmp"));
    ASSERT_TRUE(show(red, true));
    const xcb_pixmap_t shown = m_root->pixmapProperty("_XROOTPMAP_ID");
    QFile broken(m_dir.filePath(QStringLiteral("broken.bmp")));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("BM not really a bitmap");
    broken.close();

    EXPECT_FALSE(show(broken.fileName(), true));
    EXPECT_FALSE(show(m_dir.filePath(QStringLiteral("missing.bmp")), false));
    EXPECT_EQ(m_root->pixmapProperty("_XROOTPMAP_ID"), shown);
    EXPECT_TRUE(m_root->pixmapExists(shown));
    EXPECT_EQ(m_root->pixel(7, 7), 0xff0000u);
}

TEST_F(X11WallpaperTest, ReadSavesTheShownBackgroundAndRestorePutsItBack) {
    const QString tiles = write(picture(2, 1, {0xabcdef, 0x010203}), QStringLiteral("tiles.bmp"));
    ASSERT_TRUE(show(tiles, true));
    const std::optional<WallpaperSnapshot> snapshot = m_backend->read();
    ASSERT_TRUE(snapshot);
    EXPECT_EQ(snapshot->values.wallpaper, m_backend->snapshotPath());
    EXPECT_EQ(snapshot->values.tileWallpaper, QStringLiteral("0"));
    const std::optional<RgbImage> saved = RgbImage::load(snapshot->values.wallpaper);
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->width, 64);
    EXPECT_EQ(saved->height, 48);

    ASSERT_TRUE(show(write(picture(1, 1, {0x777777}), QStringLiteral("grey.bmp")), true));
    ASSERT_TRUE(m_backend->restore(*snapshot));
    EXPECT_EQ(m_root->pixel(0, 0), 0xabcdefu);
    EXPECT_EQ(m_root->pixel(1, 0), 0x010203u);
    EXPECT_EQ(m_root->pixel(62, 47), 0xabcdefu);
}

TEST_F(X11WallpaperTest, EmptyWallpaperClearsToBlackAndDropsThePixmap) {
    ASSERT_TRUE(show(write(picture(1, 1, {0xff00ff}), QStringLiteral("m.bmp")), true));
    const xcb_pixmap_t shown = m_root->pixmapProperty("_XROOTPMAP_ID");
    ASSERT_TRUE(m_backend->show({QString(), 0, QStringLiteral("0")}));
    EXPECT_EQ(m_root->pixmapProperty("_XROOTPMAP_ID"), xcb_pixmap_t(XCB_NONE));
    EXPECT_FALSE(m_root->pixmapExists(shown));
    EXPECT_EQ(m_root->pixel(3, 3), 0x000000u);
}

TEST(X11WallpaperUnreachable, NoDisplayFailsQuietly) {
    X11Wallpaper backend(QByteArrayLiteral(":4093"), QDir::tempPath());
    EXPECT_FALSE(backend.probe());
    EXPECT_FALSE(backend.show({QStringLiteral("/nonexistent.bmp"), 1, QStringLiteral("1")}));
    EXPECT_FALSE(backend.read());
}

} // namespace
