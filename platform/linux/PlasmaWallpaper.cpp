#include "platform/linux/PlasmaWallpaper.h"

#include "platform/linux/WallpaperOptions.h"
#include "platform/linux/WallpaperRecord.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

namespace {

const QString kService = QStringLiteral("org.kde.plasmashell");
const QString kImagePlugin = QStringLiteral("org.kde.image");
// What the image plugin shows a desktop with no fill mode of its own as (zoomed).
constexpr int kDefaultFillMode = 2;

const std::pair<Placement, int> kFillModes[] = {
    {Placement::Stretched, 0}, {Placement::Scaled, 1},  {Placement::Zoomed, 2},
    {Placement::Tiled, 3},     {Placement::Centred, 6},
};

int fillModeOf(Placement placement) {
    for (const auto& [candidate, mode] : kFillModes)
        if (candidate == placement)
            return mode;
    return 6;
}

// The fill mode a desktop has set: the shell reads its config as text ("6"), and as "" where the
// desktop never set one, which is not mode 0 (stretched) but the plugin's own default.
std::optional<int> recordedFillMode(const QJsonValue& value) {
    bool isNumber = false;
    const int mode = value.toVariant().toString().toInt(&isNumber);
    return isNumber ? std::optional<int>(mode) : std::nullopt;
}

QString imageUrl(const QString& path) {
    if (path.isEmpty() || !path.startsWith(QLatin1Char('/')))
        return path;
    return QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded);
}

} // namespace

PlasmaWallpaper::PlasmaWallpaper(QDBusConnection bus, int timeoutMs)
    : m_bus(std::move(bus)), m_timeoutMs(timeoutMs) {}

QString PlasmaWallpaper::scriptString(const QString& text) {
    QString literal(QLatin1Char('"'));
    for (const QChar c : text) {
        if (c == u'"' || c == u'\\')
            literal += QLatin1Char('\\') + c;
        else if (c.unicode() < 0x20 || c.unicode() > 0x7e)
            literal += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            literal += c;
    }
    return literal + QLatin1Char('"');
}

std::optional<QString> PlasmaWallpaper::evaluate(const QString& script) {
    if (!m_bus.isConnected()) {
        fail(QStringLiteral("no session bus"));
        return std::nullopt;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kService, QStringLiteral("/PlasmaShell"),
                                                       QStringLiteral("org.kde.PlasmaShell"),
                                                       QStringLiteral("evaluateScript"));
    call << script;
    const QDBusMessage reply = m_bus.call(call, QDBus::Block, m_timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        fail(reply.type() == QDBusMessage::ErrorMessage
                 ? QStringLiteral("the shell's script failed: %1: %2")
                       .arg(reply.errorName(), reply.errorMessage())
                 : QStringLiteral("the shell gave no answer"));
        return std::nullopt;
    }
    return reply.arguments().isEmpty() ? QString() : reply.arguments().constFirst().toString();
}

bool PlasmaWallpaper::doProbe() {
    if (!m_bus.isConnected())
        return fail(QStringLiteral("no session bus"));
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    call << kService;
    const QDBusMessage reply = m_bus.call(call, QDBus::Block, m_timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage)
        return fail(QStringLiteral("the session bus did not answer: %1").arg(reply.errorMessage()));
    return (!reply.arguments().isEmpty() && reply.arguments().constFirst().toBool()) ||
           fail(QStringLiteral("%1 is not on the session bus").arg(kService));
}

QString PlasmaWallpaper::showScript(const std::vector<WallpaperValues>& pictures) {
    QString list;
    for (const WallpaperValues& values : pictures)
        // One arg() call: a path's percent escapes must not be read as place markers.
        list += QStringLiteral("    {image: %1, fillMode: %2},\n")
                    .arg(scriptString(imageUrl(values.wallpaper)),
                         QString::number(fillModeOf(WallpaperOptions::placementOf(values))));
    // The pictures go to the screens left to right, then top to bottom; every desktop (one per
    // screen and activity) shows its screen's, and one on no screen the first. Setting the image a
    // desktop already shows makes the shell keep the old content: passing through an empty image
    // makes it load the file again.
    return QStringLiteral(
               "var pictures = [\n%1];\n"
               "var all = desktops();\n"
               "var screens = [];\n"
               "for (var i = 0; i < all.length; i++)\n"
               "    if (all[i].screen >= 0 && screens.indexOf(all[i].screen) < 0)\n"
               "        screens.push(all[i].screen);\n"
               "screens.sort(function (a, b) {\n"
               "    var ga = screenGeometry(a), gb = screenGeometry(b);\n"
               "    return ga.x != gb.x ? ga.x - gb.x : ga.y - gb.y;\n"
               "});\n"
               "for (var i = 0; i < all.length; i++) {\n"
               "    var d = all[i];\n"
               "    var p = pictures[Math.max(0, screens.indexOf(d.screen)) % pictures.length];\n"
               "    d.wallpaperPlugin = \"org.kde.image\";\n"
               "    d.currentConfigGroup = [\"Wallpaper\", \"org.kde.image\", \"General\"];\n"
               "    if (d.readConfig(\"Image\") == p.image)\n"
               "        d.writeConfig(\"Image\", \"\");\n"
               "    d.writeConfig(\"Image\", p.image);\n"
               "    d.writeConfig(\"FillMode\", p.fillMode);\n"
               "}\n")
        .arg(list);
}

bool PlasmaWallpaper::doShow(const WallpaperValues& values) {
    return evaluate(showScript({values})).has_value();
}

bool PlasmaWallpaper::doShowEach(const std::vector<ScreenWallpaper>& pictures) {
    std::vector<WallpaperValues> values;
    for (const ScreenWallpaper& picture : pictures)
        values.push_back(picture.values);
    return evaluate(showScript(values)).has_value();
}

std::optional<WallpaperSnapshot> PlasmaWallpaper::doRead() {
    const std::optional<QString> output = evaluate(QStringLiteral(
        "var all = desktops();\n"
        "var out = [];\n"
        "for (var i = 0; i < all.length; i++) {\n"
        "    var d = all[i];\n"
        "    d.currentConfigGroup = [\"Wallpaper\", \"org.kde.image\", \"General\"];\n"
        "    out.push({plugin: d.wallpaperPlugin, image: d.readConfig(\"Image\"),\n"
        "              fillMode: d.readConfig(\"FillMode\")});\n"
        "}\n"
        "print(JSON.stringify(out));\n"));
    if (!output)
        return std::nullopt;
    const QJsonDocument document = QJsonDocument::fromJson(output->trimmed().toUtf8());
    if (!document.isArray()) {
        fail(QStringLiteral("the shell's script printed no list of desktops"));
        return std::nullopt;
    }
    const QJsonArray desktops = document.array();

    WallpaperSnapshot snapshot;
    Placement placement = Placement::None;
    if (!desktops.isEmpty()) {
        const QJsonObject first = desktops.first().toObject();
        const QString image = first.value(QStringLiteral("image")).toString();
        const QUrl url(image);
        snapshot.values.wallpaper = url.isLocalFile() ? url.toLocalFile() : image;
        placement = Placement::Zoomed; // the shell's default fill mode
        const std::optional<int> mode = recordedFillMode(first.value(QStringLiteral("fillMode")));
        for (const auto& [candidate, number] : kFillModes)
            if (mode == number)
                placement = candidate;
        if (snapshot.values.wallpaper.isEmpty())
            placement = Placement::None;
    }
    WallpaperOptions::describe(placement, snapshot.values);
    snapshot.detail = WallpaperRecord::write(name(), {{QStringLiteral("desktops"), desktops}});
    return snapshot;
}

bool PlasmaWallpaper::doRestore(const WallpaperSnapshot& snapshot) {
    const std::optional<QJsonObject> record = WallpaperRecord::read(name(), snapshot.detail);
    if (!record)
        return doShow(snapshot.values);
    QString script = QStringLiteral("var all = desktops();\n");
    const QJsonArray desktops = record->value(QStringLiteral("desktops")).toArray();
    for (qsizetype i = 0; i < desktops.size(); ++i) {
        const QJsonObject desktop = desktops.at(i).toObject();
        const QString plugin = desktop.value(QStringLiteral("plugin")).toString(kImagePlugin);
        // A value the desktop never had goes back to what the plugin assumes without one.
        const QString image = desktop.value(QStringLiteral("image")).toString();
        const int fillMode =
            recordedFillMode(desktop.value(QStringLiteral("fillMode"))).value_or(kDefaultFillMode);
        script += QStringLiteral("if (all.length > %1) {\n"
                                 "    var d = all[%1];\n"
                                 "    d.currentConfigGroup = [\"Wallpaper\", \"org.kde.image\", "
                                 "\"General\"];\n"
                                 "    d.writeConfig(\"Image\", %2);\n"
                                 "    d.writeConfig(\"FillMode\", %3);\n"
                                 "    d.wallpaperPlugin = %4;\n"
                                 "}\n")
                      .arg(QString::number(i), scriptString(image), QString::number(fillMode),
                           scriptString(plugin));
    }
    return evaluate(script).has_value();
}
