#pragma once

#include <QObject>
#include <QRect>
#include <QTimer>
#include <vector>

class QScreen;
class ScreenInfo;

// Keeps ScreenInfo current with every screen's geometry and work area, in device pixels, and
// tells when a screen was added, removed, moved or resized. Lives on the user-interface thread.
class ScreenWatcher : public QObject {
    Q_OBJECT

public:
    explicit ScreenWatcher(ScreenInfo& info, QObject* parent = nullptr);

signals:
    // The layout of the screens changed; sent once it has settled (a new screen comes with
    // several notifications in a row).
    void screensChanged();

private:
    void watch(QScreen* screen);
    void update();

    ScreenInfo& m_info;
    QTimer m_settle;
    // Each screen's name and device geometry as last reported, to tell a layout change from a
    // change of a work area alone.
    std::vector<std::pair<QString, QRect>> m_layout;
    bool m_known = false;
};
