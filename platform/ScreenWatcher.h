#pragma once

#include <QObject>

class QScreen;
class ScreenInfo;

// Keeps ScreenInfo current with the primary screen's geometry and work area, in device pixels.
// Lives on the user-interface thread.
class ScreenWatcher : public QObject {
    Q_OBJECT

public:
    explicit ScreenWatcher(ScreenInfo& info, QObject* parent = nullptr);

private:
    void watch(QScreen* screen);
    void update();

    ScreenInfo& m_info;
    QScreen* m_screen = nullptr;
};
