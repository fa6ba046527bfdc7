#include "platform/ScreenWatcher.h"

#include "platform/ScreenInfo.h"

#include <QGuiApplication>
#include <QScreen>

ScreenWatcher::ScreenWatcher(ScreenInfo& info, QObject* parent) : QObject(parent), m_info(info) {
    connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, &ScreenWatcher::watch);
    watch(QGuiApplication::primaryScreen());
}

void ScreenWatcher::watch(QScreen* screen) {
    if (m_screen)
        disconnect(m_screen, nullptr, this, nullptr);
    m_screen = screen;
    if (m_screen) {
        connect(m_screen, &QScreen::geometryChanged, this, &ScreenWatcher::update);
        connect(m_screen, &QScreen::availableGeometryChanged, this, &ScreenWatcher::update);
        connect(m_screen, &QScreen::physicalDotsPerInchChanged, this, &ScreenWatcher::update);
    }
    update();
}

void ScreenWatcher::update() {
    if (!m_screen)
        return;
    const qreal ratio = m_screen->devicePixelRatio();
    const auto toDevice = [ratio](const QRect& r) {
        return QRect(qRound(r.x() * ratio), qRound(r.y() * ratio), qRound(r.width() * ratio),
                     qRound(r.height() * ratio));
    };
    const QRect geometry = toDevice(m_screen->geometry());
    ScreenMetrics metrics;
    metrics.screen = geometry.size();
    // The work area relative to the screen's own origin, as the conversion expects.
    metrics.workArea = toDevice(m_screen->availableGeometry()).translated(-geometry.topLeft());
    m_info.setMetrics(metrics);
}
