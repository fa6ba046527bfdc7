#include "platform/linux/X11Wallpaper.h"

#include "bitmap/BitmapReader.h"
#include "platform/FileName.h"
#include "platform/linux/RgbImage.h"
#include "platform/linux/WallpaperOptions.h"

#include <QDir>
#include <QFileInfo>

#include <xcb/xcb.h>
#include <xcb/xcb_image.h>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

namespace {

template <typename T> using CPtr = std::unique_ptr<T, decltype(&std::free)>;

// One connection to the display for the duration of one call.
class Connection {
public:
    explicit Connection(const QByteArray& display) {
        int screenNumber = 0;
        m_connection =
            xcb_connect(display.isEmpty() ? nullptr : display.constData(), &screenNumber);
        if (xcb_connection_has_error(m_connection))
            return;
        xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
        for (int i = 0; it.rem > 0 && i < screenNumber; ++i)
            xcb_screen_next(&it);
        if (it.rem > 0)
            m_screen = it.data;
    }
    ~Connection() { xcb_disconnect(m_connection); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    bool ok() const { return m_screen != nullptr && !xcb_connection_has_error(m_connection); }
    // Why the connection is not usable, for the log.
    QString error(const QByteArray& display) const {
        const QString name =
            QString::fromLocal8Bit(display.isEmpty() ? qgetenv("DISPLAY") : display);
        switch (xcb_connection_has_error(m_connection)) {
        case 0:
            return m_screen ? QString() : QStringLiteral("display %1 has no such screen").arg(name);
        case XCB_CONN_CLOSED_PARSE_ERR:
            return QStringLiteral("\"%1\" is not a display name").arg(name);
        case XCB_CONN_CLOSED_INVALID_SCREEN:
            return QStringLiteral("display %1 has no such screen").arg(name);
        case XCB_CONN_CLOSED_MEM_INSUFFICIENT:
            return QStringLiteral("out of memory connecting to display %1").arg(name);
        default:
            return QStringLiteral("display %1 cannot be opened").arg(name);
        }
    }
    xcb_connection_t* get() const { return m_connection; }
    xcb_screen_t* screen() const { return m_screen; }

    xcb_atom_t atom(const char* name) const {
        CPtr<xcb_intern_atom_reply_t> reply(
            xcb_intern_atom_reply(
                m_connection, xcb_intern_atom(m_connection, 0, std::strlen(name), name), nullptr),
            &std::free);
        return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    }

    // The pixmap a root property names, or none.
    xcb_pixmap_t pixmapProperty(xcb_atom_t property) const {
        if (property == XCB_ATOM_NONE)
            return XCB_NONE;
        CPtr<xcb_get_property_reply_t> reply(
            xcb_get_property_reply(
                m_connection,
                xcb_get_property(m_connection, 0, m_screen->root, property, XCB_ATOM_PIXMAP, 0, 1),
                nullptr),
            &std::free);
        if (!reply || reply->type != XCB_ATOM_PIXMAP || reply->format != 32 ||
            xcb_get_property_value_length(reply.get()) < 4)
            return XCB_NONE;
        return *static_cast<const xcb_pixmap_t*>(xcb_get_property_value(reply.get()));
    }

    // Waits for every request sent so far; false when the server refused one.
    bool sync() const {
        const xcb_void_cookie_t cookie = xcb_no_operation_checked(m_connection);
        CPtr<xcb_generic_error_t> error(xcb_request_check(m_connection, cookie), &std::free);
        return !error && !xcb_connection_has_error(m_connection);
    }

private:
    xcb_connection_t* m_connection = nullptr;
    xcb_screen_t* m_screen = nullptr;
};

// How the root visual packs red, green and blue into a pixel value.
struct ChannelMasks {
    std::uint32_t red = 0xff0000, green = 0x00ff00, blue = 0x0000ff;

    static ChannelMasks of(const xcb_screen_t* screen) {
        ChannelMasks masks;
        for (auto depths = xcb_screen_allowed_depths_iterator(screen); depths.rem;
             xcb_depth_next(&depths)) {
            for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem;
                 xcb_visualtype_next(&visuals)) {
                if (visuals.data->visual_id == screen->root_visual) {
                    masks.red = visuals.data->red_mask;
                    masks.green = visuals.data->green_mask;
                    masks.blue = visuals.data->blue_mask;
                }
            }
        }
        return masks;
    }

    static std::uint32_t pack(std::uint8_t value, std::uint32_t mask) {
        if (mask == 0)
            return 0;
        const int shift = std::countr_zero(mask);
        const std::uint32_t max = mask >> shift;
        return ((value * max + 127) / 255) << shift;
    }
    static std::uint8_t unpack(std::uint32_t pixel, std::uint32_t mask) {
        if (mask == 0)
            return 0;
        const int shift = std::countr_zero(mask);
        const std::uint32_t max = mask >> shift;
        return static_cast<std::uint8_t>(((pixel & mask) >> shift) * 255 / max);
    }
    std::uint32_t pixel(const std::uint8_t* rgb) const {
        return pack(rgb[0], red) | pack(rgb[1], green) | pack(rgb[2], blue);
    }
};

enum class Placing { Tiled, Centred, FromCorner };

// The picture laid out on a canvas of the root's size: repeated from the top left corner,
// centred, or from the top left corner once (a picture made for all screens together), on
// black and cut at the edges when it is larger. Only the part of each row that lands on the
// canvas is read, so a bitmap larger than the screen costs no more memory than the screen.
// Nothing when the bitmap cannot be read.
std::optional<RgbImage> layOut(const BitmapReader& picture, int width, int height,
                               Placing placing) {
    RgbImage canvas;
    canvas.width = width;
    canvas.height = height;
    canvas.pixels.assign(static_cast<std::size_t>(width) * height * 3, 0);
    const bool tile = placing == Placing::Tiled;
    const int left = placing == Placing::Centred ? (width - picture.width()) / 2 : 0;
    const int top = placing == Placing::Centred ? (height - picture.height()) / 2 : 0;
    // The columns of the picture that reach the canvas.
    const int first = std::max(-left, 0);
    const int count = std::min(picture.width(), width - left) - first;
    if (count <= 0)
        return canvas;
    std::vector<std::uint8_t> row(static_cast<std::size_t>(count) * 3);
    int loaded = -1;
    for (int y = 0; y < height; ++y) {
        int sy = y - top;
        if (tile)
            sy %= picture.height();
        if (sy < 0 || sy >= picture.height())
            continue;
        if (sy != loaded && !picture.read(sy, first, count, row.data()))
            return std::nullopt;
        loaded = sy;
        for (int x = 0; x < width; ++x) {
            int sx = x - left;
            if (tile)
                sx %= picture.width();
            if (sx < first || sx >= first + count)
                continue;
            const std::uint8_t* from = row.data() + static_cast<std::size_t>(sx - first) * 3;
            std::uint8_t* to = canvas.at(x, y);
            to[0] = from[2];
            to[1] = from[1];
            to[2] = from[0];
        }
    }
    return canvas;
}

// Draws the canvas into the pixmap in strips that each fit one request.
bool drawInto(const Connection& connection, xcb_pixmap_t pixmap, const RgbImage& canvas) {
    xcb_connection_t* c = connection.get();
    const xcb_screen_t* screen = connection.screen();
    const ChannelMasks masks = ChannelMasks::of(screen);
    const xcb_gcontext_t gc = xcb_generate_id(c);
    xcb_create_gc(c, gc, pixmap, 0, nullptr);

    const std::size_t maxBytes = std::size_t(xcb_get_maximum_request_length(c)) * 4;
    const std::size_t rowBytes = std::size_t(canvas.width) * 4 + 4;
    const int rowsPerStrip =
        std::max(1, static_cast<int>((maxBytes > 1024 ? maxBytes - 1024 : maxBytes) / rowBytes));
    bool ok = true;
    for (int top = 0; top < canvas.height && ok; top += rowsPerStrip) {
        const int rows = std::min(rowsPerStrip, canvas.height - top);
        xcb_image_t* strip =
            xcb_image_create_native(c, canvas.width, rows, XCB_IMAGE_FORMAT_Z_PIXMAP,
                                    screen->root_depth, nullptr, 0, nullptr);
        if (!strip) {
            ok = false;
            break;
        }
        for (int y = 0; y < rows; ++y)
            for (int x = 0; x < canvas.width; ++x)
                xcb_image_put_pixel(strip, x, y, masks.pixel(canvas.at(x, top + y)));
        xcb_image_put(c, pixmap, gc, strip, 0, static_cast<int16_t>(top), 0);
        xcb_image_destroy(strip);
    }
    xcb_free_gc(c, gc);
    return ok;
}

// Frees the pixmap of an earlier setter that left it for the next one to free: the
// convention is that ESETROOT_PMAP_ID names it while _XROOTPMAP_ID still does.
void freeOldPixmap(const Connection& connection, xcb_atom_t rootAtom, xcb_atom_t esetrootAtom) {
    const xcb_pixmap_t shown = connection.pixmapProperty(rootAtom);
    const xcb_pixmap_t retained = connection.pixmapProperty(esetrootAtom);
    if (retained != XCB_NONE && retained == shown)
        xcb_kill_client(connection.get(), retained);
}

// The picture the root shows: its background pixmap when one is named, else the window.
std::optional<RgbImage> grabBackground(const Connection& connection) {
    xcb_connection_t* c = connection.get();
    const xcb_screen_t* screen = connection.screen();
    xcb_drawable_t drawable = screen->root;
    int width = screen->width_in_pixels;
    int height = screen->height_in_pixels;
    if (const xcb_pixmap_t pixmap = connection.pixmapProperty(connection.atom("_XROOTPMAP_ID"))) {
        CPtr<xcb_get_geometry_reply_t> geometry(
            xcb_get_geometry_reply(c, xcb_get_geometry(c, pixmap), nullptr), &std::free);
        if (geometry && geometry->depth == screen->root_depth) {
            drawable = pixmap;
            width = geometry->width;
            height = geometry->height;
        }
    }
    xcb_image_t* grabbed =
        xcb_image_get(c, drawable, 0, 0, width, height, ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP);
    if (!grabbed)
        return std::nullopt;
    const ChannelMasks masks = ChannelMasks::of(screen);
    RgbImage image;
    image.width = width;
    image.height = height;
    image.pixels.resize(static_cast<std::size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::uint32_t pixel = xcb_image_get_pixel(grabbed, x, y);
            std::uint8_t* to = image.at(x, y);
            to[0] = ChannelMasks::unpack(pixel, masks.red);
            to[1] = ChannelMasks::unpack(pixel, masks.green);
            to[2] = ChannelMasks::unpack(pixel, masks.blue);
        }
    }
    xcb_image_destroy(grabbed);
    return image;
}

} // namespace

X11Wallpaper::X11Wallpaper(QByteArray display, QString dataDir)
    : m_display(std::move(display)), m_dataDir(std::move(dataDir)) {}

QString X11Wallpaper::snapshotPath() const {
    return m_dataDir + QStringLiteral("/OldWallpaper.bmp");
}

bool X11Wallpaper::doProbe() {
    const Connection connection(m_display);
    return connection.ok() || fail(connection.error(m_display));
}

bool X11Wallpaper::doShow(const WallpaperValues& values) {
    BitmapReader picture;
    const bool shown = !values.wallpaper.isEmpty();
    if (shown) {
        if (const auto reason = picture.open(FileName::toNative(values.wallpaper).toStdString()))
            return fail(QStringLiteral("the bitmap cannot be read: %1")
                            .arg(QString::fromStdString(*reason)));
    }
    Connection connection(m_display);
    if (!connection.ok())
        return fail(connection.error(m_display));
    xcb_connection_t* c = connection.get();
    const xcb_screen_t* screen = connection.screen();
    const xcb_atom_t rootAtom = connection.atom("_XROOTPMAP_ID");
    const xcb_atom_t esetrootAtom = connection.atom("ESETROOT_PMAP_ID");
    if (rootAtom == XCB_ATOM_NONE || esetrootAtom == XCB_ATOM_NONE)
        return fail(QStringLiteral("the X server did not name the root pixmap properties"));

    if (!shown) {
        // No picture: a plain black background, and no pixmap left for others to find.
        freeOldPixmap(connection, rootAtom, esetrootAtom);
        const std::uint32_t black = screen->black_pixel;
        xcb_change_window_attributes(c, screen->root, XCB_CW_BACK_PIXEL, &black);
        xcb_clear_area(c, 0, screen->root, 0, 0, 0, 0);
        xcb_delete_property(c, screen->root, rootAtom);
        xcb_delete_property(c, screen->root, esetrootAtom);
        return connection.sync() || fail(QStringLiteral("the X server refused a request"));
    }

    const int width = screen->width_in_pixels;
    const int height = screen->height_in_pixels;
    const Placement placement = WallpaperOptions::placementOf(values);
    const std::optional<RgbImage> canvas =
        layOut(picture, width, height,
               placement == Placement::Tiled     ? Placing::Tiled
               : placement == Placement::Spanned ? Placing::FromCorner
                                                 : Placing::Centred);
    if (!canvas)
        return fail(QStringLiteral("the bitmap cannot be read"));
    const xcb_pixmap_t pixmap = xcb_generate_id(c);
    xcb_create_pixmap(c, screen->root_depth, pixmap, screen->root, width, height);
    if (!drawInto(connection, pixmap, *canvas) || !connection.sync()) {
        xcb_free_pixmap(c, pixmap);
        return fail(QStringLiteral("the X server refused the %1x%2 background pixmap")
                        .arg(width)
                        .arg(height));
    }

    freeOldPixmap(connection, rootAtom, esetrootAtom);
    xcb_change_window_attributes(c, screen->root, XCB_CW_BACK_PIXMAP, &pixmap);
    xcb_clear_area(c, 0, screen->root, 0, 0, 0, 0);
    for (const xcb_atom_t property : {rootAtom, esetrootAtom})
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, screen->root, property, XCB_ATOM_PIXMAP, 32,
                            1, &pixmap);
    // The pixmap must outlive this connection; the next change frees it.
    xcb_set_close_down_mode(c, XCB_CLOSE_DOWN_RETAIN_PERMANENT);
    return connection.sync() || fail(QStringLiteral("the X server refused a request"));
}

std::optional<WallpaperSnapshot> X11Wallpaper::doRead() {
    Connection connection(m_display);
    if (!connection.ok()) {
        fail(connection.error(m_display));
        return std::nullopt;
    }
    const std::optional<RgbImage> background = grabBackground(connection);
    if (!background) {
        fail(QStringLiteral("the X server did not give the root window's picture"));
        return std::nullopt;
    }
    QDir().mkpath(m_dataDir);
    const QString path = snapshotPath();
    if (!background->save(path)) {
        fail(QStringLiteral("%1 cannot be written").arg(path));
        return std::nullopt;
    }
    WallpaperSnapshot snapshot;
    snapshot.values.wallpaper = QFileInfo(path).absoluteFilePath();
    snapshot.values.wallpaperStyle = 0;
    snapshot.values.tileWallpaper = QStringLiteral("0");
    return snapshot;
}
