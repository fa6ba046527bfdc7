#include "tests/support/RootWindow.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

RootWindow::RootWindow(const QString& display) {
    xcb_connection_t* connection = xcb_connect(display.toLocal8Bit().constData(), nullptr);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return;
    }
    m_connection = connection;
    m_root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
}

RootWindow::~RootWindow() {
    if (m_connection)
        xcb_disconnect(m_connection);
}

QColor RootWindow::pixel(int x, int y) const {
    if (!m_connection)
        return {};
    xcb_get_image_cookie_t cookie =
        xcb_get_image(m_connection, XCB_IMAGE_FORMAT_Z_PIXMAP, m_root, static_cast<int16_t>(x),
                      static_cast<int16_t>(y), 1, 1, ~0u);
    std::unique_ptr<xcb_get_image_reply_t, decltype(&std::free)> reply(
        xcb_get_image_reply(m_connection, cookie, nullptr), &std::free);
    if (!reply || xcb_get_image_data_length(reply.get()) < 3)
        return {};
    // A 24-bit TrueColor server stores a pixel as blue, green, red, pad.
    const uint8_t* data = xcb_get_image_data(reply.get());
    return QColor(data[2], data[1], data[0]);
}

void RootWindow::fill(const QColor& colour) {
    if (!m_connection)
        return;
    const uint32_t value = (static_cast<uint32_t>(colour.red()) << 16) |
                           (static_cast<uint32_t>(colour.green()) << 8) |
                           static_cast<uint32_t>(colour.blue());
    xcb_change_window_attributes(m_connection, m_root, XCB_CW_BACK_PIXEL, &value);
    xcb_clear_area(m_connection, 0, m_root, 0, 0, 0, 0);
    free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
}

bool nearColour(const QColor& a, const QColor& b, int tolerance) {
    return a.isValid() && b.isValid() && std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}
