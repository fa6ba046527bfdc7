#include "platform/linux/DesktopWallpaperChooser.h"

#include "platform/LogCategories.h"
#include "platform/NoDesktopWallpaper.h"
#include "platform/linux/GSettingsWallpaper.h"
#include "platform/linux/PlasmaWallpaper.h"
#include "platform/linux/SwayWallpaper.h"
#include "platform/linux/X11Wallpaper.h"
#include "platform/linux/XfceWallpaper.h"

#include <utility>

namespace {

// The backend that serves a desktop name as sessions spell it, or an empty text.
QString backendFor(const QString& desktop) {
    static const std::pair<const char*, const char*> names[] = {
        {"gnome", "gnome"},
        {"gnome-classic", "gnome"},
        {"gnome-flashback", "gnome"},
        {"ubuntu", "gnome"},
        {"unity", "gnome"},
        {"budgie", "gnome"},
        {"budgie-desktop", "gnome"},
        {"x-cinnamon", "cinnamon"},
        {"cinnamon", "cinnamon"},
        {"mate", "mate"},
        {"xfce", "xfce"},
        {"xfce4", "xfce"},
        {"xubuntu", "xfce"},
        {"kde", "plasma"},
        {"plasma", "plasma"},
        {"plasmawayland", "plasma"},
        {"plasmax11", "plasma"},
        {"sway", "sway"},
    };
    const QString key = desktop.trimmed().toLower();
    for (const auto& [name, backend] : names)
        if (key == QLatin1String(name))
            return QString::fromLatin1(backend);
    return {};
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
    for (const QString& desktop : std::as_const(desktops)) {
        const QString backend = backendFor(desktop);
        if (!backend.isEmpty() && !result.contains(backend))
            result << backend;
    }
    if (!m_environment.value(QStringLiteral("SWAYSOCK")).isEmpty() &&
        !result.contains(QStringLiteral("sway")))
        result << QStringLiteral("sway");
    if (!m_environment.value(QStringLiteral("DISPLAY")).isEmpty())
        result << QStringLiteral("x11");
    return result;
}

std::unique_ptr<DesktopWallpaper> DesktopWallpaperChooser::create(const QString& name) const {
    if (name == u"gnome")
        return std::make_unique<GSettingsWallpaper>(GSettingsWallpaper::Flavour::Gnome);
    if (name == u"cinnamon")
        return std::make_unique<GSettingsWallpaper>(GSettingsWallpaper::Flavour::Cinnamon);
    if (name == u"mate")
        return std::make_unique<GSettingsWallpaper>(GSettingsWallpaper::Flavour::Mate);
    if (name == u"xfce")
        return std::make_unique<XfceWallpaper>(m_bus);
    if (name == u"plasma")
        return std::make_unique<PlasmaWallpaper>(m_bus);
    if (name == u"sway")
        return std::make_unique<SwayWallpaper>();
    if (name == u"x11")
        return std::make_unique<X11Wallpaper>(
            m_environment.value(QStringLiteral("DISPLAY")).toLocal8Bit(), m_dataDir);
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
                        ? QStringLiteral(
                              "no backend serves it, and neither SWAYSOCK nor DISPLAY is set")
                        : QStringLiteral("passed over: ") + passedOver.join(QStringLiteral(", ")));
    return std::make_unique<NoDesktopWallpaper>();
}
