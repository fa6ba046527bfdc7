#pragma once

#include <QColor>
#include <QString>

// The root window of a test's X display, read and painted directly over xcb: what the user
// would see as the desktop wherever no window covers it.
class RootWindow {
public:
    explicit RootWindow(const QString& display);
    ~RootWindow();
    RootWindow(const RootWindow&) = delete;
    RootWindow& operator=(const RootWindow&) = delete;

    bool isConnected() const { return m_connection != nullptr; }
    // The colour shown at (x, y); invalid when it cannot be read.
    QColor pixel(int x, int y) const;
    // Paints the whole desktop one colour, as the user's own wallpaper.
    void fill(const QColor& colour);

private:
    struct xcb_connection_t* m_connection = nullptr;
    unsigned m_root = 0;
};

// True when two colours differ by at most `tolerance` in each channel (pictures pass through
// lossy formats and resampling on their way to the desktop).
bool nearColour(const QColor& a, const QColor& b, int tolerance = 24);
