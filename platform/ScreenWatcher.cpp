#include "platform/ScreenWatcher.h"

#include "platform/ScreenInfo.h"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>

namespace {

// How long a burst of screen notifications is given to end before the layout is read.
constexpr int kSettleMs = 250;

// `positionScale` turns the screen's corner into device pixels (see update()).
ScreenMetrics metricsOf(QScreen* screen, qreal positionScale) {
    const qreal ratio = screen->devicePixelRatio();
    const QRect logical = screen->geometry();
    const QRect available = screen->availableGeometry();
    const auto device = [ratio](int value) { return qRound(value * ratio); };
    ScreenMetrics metrics;
    metrics.name = screen->name();
    metrics.devicePixelRatio = ratio;
    metrics.primary = screen == QGuiApplication::primaryScreen();
    metrics.screen = QSize(device(logical.width()), device(logical.height()));
    metrics.origin =
        QPoint(qRound(logical.x() * positionScale), qRound(logical.y() * positionScale));
    metrics.extent = QGuiApplication::platformName() == u"xcb"
                         ? metrics.screen
                         : QSize(qRound(logical.width() * positionScale),
                                 qRound(logical.height() * positionScale));
    const QPoint inset = available.topLeft() - logical.topLeft();
    metrics.workArea = QRect(device(inset.x()), device(inset.y()), device(available.width()),
                             device(available.height()));
    return metrics;
}

} // namespace

ScreenWatcher::ScreenWatcher(ScreenInfo& info, QObject* parent) : QObject(parent), m_info(info) {
    m_settle.setSingleShot(true);
    m_settle.setInterval(kSettleMs);
    connect(&m_settle, &QTimer::timeout, this, &ScreenWatcher::update);
    connect(qGuiApp, &QGuiApplication::screenAdded, this, &ScreenWatcher::watch);
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, [this] { m_settle.start(); });
    connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, [this] { m_settle.start(); });
    const QList<QScreen*> screens = QGuiApplication::screens();
    for (QScreen* screen : screens)
        watch(screen);
    m_settle.stop();
    update();
}

void ScreenWatcher::watch(QScreen* screen) {
    const auto later = [this] { m_settle.start(); };
    connect(screen, &QScreen::geometryChanged, this, later);
    connect(screen, &QScreen::availableGeometryChanged, this, later);
    connect(screen, &QScreen::physicalDotsPerInchChanged, this, later);
    connect(screen, &QScreen::logicalDotsPerInchChanged, this, later);
    m_settle.start();
}

void ScreenWatcher::update() {
    std::vector<ScreenMetrics> screens;
    std::vector<std::pair<QString, QRect>> layout;
    QList<QScreen*> all = QGuiApplication::screens();
    // A screen that is going away may still be listed with no size.
    all.removeIf([](QScreen* screen) { return screen->geometry().isEmpty(); });
    // Qt keeps a screen's corner in the window system's own coordinates and scales only its
    // size. On X11 the corner is in device pixels already. Elsewhere (Wayland) the corners are
    // in the compositor's logical layout: one factor for all of them, the largest ratio, keeps
    // the screens in their order and apart even when their ratios differ.
    qreal positionScale = 1;
    if (QGuiApplication::platformName() != u"xcb")
        for (QScreen* screen : std::as_const(all))
            positionScale = std::max(positionScale, screen->devicePixelRatio());
    for (QScreen* screen : std::as_const(all)) {
        screens.push_back(metricsOf(screen, positionScale));
        layout.emplace_back(screens.back().name, screens.back().geometry());
    }
    std::sort(layout.begin(), layout.end(), [](const auto& a, const auto& b) {
        return a.first != b.first
                   ? a.first < b.first
                   : std::pair(a.second.x(), a.second.y()) < std::pair(b.second.x(), b.second.y());
    });
    m_info.setScreens(std::move(screens));
    const bool changed = m_known && layout != m_layout;
    m_known = true;
    m_layout = std::move(layout);
    if (changed)
        emit screensChanged();
}
