#include "platform/linux/DesktopWallpaperChooser.h"

#include "platform/LogCategories.h"
#include "platform/NoDesktopWallpaper.h"
#include "platform/linux/GSettingsWallpaper.h"
#include "platform/linux/HyprlandWallpaper.h"
#include "platform/linux/LayerShellWallpaper.h"
#include "platform/linux/PlasmaWallpaper.h"
#include "platform/linux/SwayWallpaper.h"
#include "platform/linux/X11Wallpaper.h"
#include "platform/linux/XfceWallpaper.h"

#include <functional>
#include <initializer_list>

namespace {

struct Context {
    const QProcessEnvironment& environment;
    const QString& dataDir;
    const QDBusConnection& bus;
};

// One backend: the desktop names that sessions give it (lower case), the variable its
// compositor sets (a candidate even when the session names another desktop), whether that
// compositor also draws a layer-shell swaybg, and how it is made. What its probe checks is
// said beside each row.
struct Row {
    const char* name;
    std::initializer_list<const char*> desktops;
    const char* variable;
    bool layerShell;
    std::function<std::unique_ptr<DesktopWallpaper>(const Context&)> create;
};

const Row kRows[] = {
    // The schema org.gnome.desktop.background is installed.
    {"gnome",
     {"gnome", "gnome-classic", "gnome-flashback", "ubuntu", "unity", "budgie", "budgie-desktop"},
     nullptr,
     false,
     [](const Context&) {
         return std::make_unique<GSettingsWallpaper>(GSettingsWallpaper::Flavour::Gnome);
     }},
    // The schema org.cinnamon.desktop.background is installed.
    {"cinnamon",
     {"x-cinnamon", "cinnamon"},
     nullptr,
     false,
     [](const Context&) {
         return std::make_unique<GSettingsWallpaper>(GSettingsWallpaper::Flavour::Cinnamon);
     }},
    // The schema org.mate.background is installed.
    {"mate",
     {"mate"},
     nullptr,
     false,
     [](const Context&) {
         return std::make_unique<GSettingsWallpaper>(GSettingsWallpaper::Flavour::Mate);
     }},
    // org.xfce.Xfconf is on the session bus.
    {"xfce",
     {"xfce", "xfce4", "xubuntu"},
     nullptr,
     false,
     [](const Context& c) { return std::make_unique<XfceWallpaper>(c.bus); }},
    // org.kde.plasmashell is on the session bus.
    {"plasma",
     {"kde", "plasma", "plasmawayland", "plasmax11"},
     nullptr,
     false,
     [](const Context& c) { return std::make_unique<PlasmaWallpaper>(c.bus); }},
    // swaymsg is on PATH.
    {"sway",
     {"sway"},
     "SWAYSOCK",
     true,
     [](const Context& c) { return std::make_unique<SwayWallpaper>(c.dataDir); }},
    // hyprctl is on PATH and hyprpaper answers it on its socket.
    {"hyprland",
     {"hyprland"},
     "HYPRLAND_INSTANCE_SIGNATURE",
     true,
     [](const Context&) { return std::make_unique<HyprlandWallpaper>(); }},
    // Any other Wayland compositor: WAYLAND_DISPLAY is set and swaybg is on PATH. Not for a
    // session that names a desktop without layer-shell backgrounds.
    {"layer-shell",
     {},
     "WAYLAND_DISPLAY",
     true,
     [](const Context& c) {
         return std::make_unique<LayerShellWallpaper>(
             c.environment.value(QStringLiteral("WAYLAND_DISPLAY")));
     }},
    // The display named by DISPLAY can be opened.
    {"x11",
     {},
     "DISPLAY",
     true,
     [](const Context& c) {
         return std::make_unique<X11Wallpaper>(
             c.environment.value(QStringLiteral("DISPLAY")).toLocal8Bit(), c.dataDir);
     }},
};

// The row that serves a desktop name as sessions spell it.
const Row* rowFor(const QString& desktop) {
    const QString key = desktop.trimmed().toLower();
    for (const Row& row : kRows)
        for (const char* name : row.desktops)
            if (key == QLatin1String(name))
                return &row;
    return nullptr;
}

} // namespace

DesktopWallpaperChooser::DesktopWallpaperChooser(QProcessEnvironment environment, QString dataDir,
                                                 QDBusConnection bus)
    : m_environment(std::move(environment)), m_dataDir(std::move(dataDir)), m_bus(std::move(bus)) {}

QStringList DesktopWallpaperChooser::candidates() const {
    QStringList desktops =
        m_environment.value(QStringLiteral("XDG_CURRENT_DESKTOP")).split(QLatin1Char(':'));
    desktops << m_environment.value(QStringLiteral("XDG_SESSION_DESKTOP"))
             << m_environment.value(QStringLiteral("DESKTOP_SESSION"));
    QStringList result;
    // A desktop that draws its own background over layer-shell surfaces rules out the swaybg
    // route.
    bool layerShell = true;
    for (const QString& desktop : std::as_const(desktops)) {
        const Row* row = rowFor(desktop);
        if (!row)
            continue;
        layerShell = layerShell && row->layerShell;
        if (!result.contains(QLatin1String(row->name)))
            result << QString::fromLatin1(row->name);
    }
    for (const Row& row : kRows) {
        const QString name = QString::fromLatin1(row.name);
        if (!row.variable || result.contains(name) ||
            m_environment.value(QString::fromLatin1(row.variable)).isEmpty())
            continue;
        if (name == u"layer-shell" && !layerShell)
            continue;
        result << name;
    }
    return result;
}

std::unique_ptr<DesktopWallpaper> DesktopWallpaperChooser::create(const QString& name) const {
    for (const Row& row : kRows)
        if (name == QLatin1String(row.name))
            return row.create(Context{m_environment, m_dataDir, m_bus});
    return nullptr;
}

std::unique_ptr<DesktopWallpaper> DesktopWallpaperChooser::choose() const {
    // The desktop as the session names it, for the one line that tells the choice.
    QString session;
    for (const char* variable : {"XDG_CURRENT_DESKTOP", "XDG_SESSION_DESKTOP", "DESKTOP_SESSION"})
        if (session.isEmpty())
            session = m_environment.value(QString::fromLatin1(variable));
    QStringList passedOver;
    for (const QString& name : candidates()) {
        std::unique_ptr<DesktopWallpaper> backend = create(name);
        QString whyNot;
        if (backend && backend->probe(&whyNot)) {
            qCInfo(lcWallpaper).noquote()
                << QStringLiteral("wallpaper backend %1 chosen for desktop \"%2\"; passed over: %3")
                       .arg(name, session,
                            passedOver.isEmpty() ? QStringLiteral("none")
                                                 : passedOver.join(QStringLiteral(", ")));
            return backend;
        }
        passedOver << QStringLiteral("%1 (%2)").arg(name, whyNot);
    }
    qCWarning(lcWallpaper).noquote()
        << QStringLiteral("no wallpaper backend for desktop \"%1\" (%2): the wallpaper will not "
                          "change")
               .arg(session,
                    passedOver.isEmpty()
                        ? QStringLiteral("no backend serves it, and neither WAYLAND_DISPLAY nor "
                                         "DISPLAY is set")
                        : QStringLiteral("passed over: ") + passedOver.join(QStringLiteral(", ")));
    return std::make_unique<NoDesktopWallpaper>();
}
