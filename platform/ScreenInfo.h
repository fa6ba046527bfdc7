#pragma once

#include <QRect>
#include <QSize>
#include <mutex>

// The primary screen's size and work area in device pixels. The user-interface thread keeps
// it current; the worker reads a consistent copy at the moment it converts a picture.
struct ScreenMetrics {
    QSize screen{1920, 1080};
    QRect workArea{0, 0, 1920, 1080}; // left, top, width, height
};

class ScreenInfo {
public:
    ScreenMetrics metrics() const;
    void setMetrics(const ScreenMetrics& metrics);

private:
    mutable std::mutex m_mutex;
    ScreenMetrics m_metrics;
};
