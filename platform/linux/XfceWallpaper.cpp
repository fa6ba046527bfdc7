#include "platform/linux/XfceWallpaper.h"

#include "platform/linux/WallpaperOptions.h"
#include "platform/linux/WallpaperRecord.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVariant>
#include <QJsonObject>
#include <QRegularExpression>

namespace {

const QString kService = QStringLiteral("org.xfce.Xfconf");
const QString kPath = QStringLiteral("/org/xfce/Xfconf");
const QString kInterface = QStringLiteral("org.xfce.Xfconf");
const QString kChannel = QStringLiteral("xfce4-desktop");
const QString kBackdrop = QStringLiteral("/backdrop");
const QString kImageSuffix = QStringLiteral("/last-image");
const QString kStyleSuffix = QStringLiteral("/image-style");
// Where a desktop that has never had a picture keeps its first monitor's.
const QString kDefaultImage = QStringLiteral("/backdrop/screen0/monitor0/workspace0/last-image");

const std::pair<Placement, int> kStyles[] = {
    {Placement::None, 0},      {Placement::Centred, 1}, {Placement::Tiled, 2},
    {Placement::Stretched, 3}, {Placement::Scaled, 4},  {Placement::Zoomed, 5},
    {Placement::Spanned, 6},
};

QString styleKeyOf(const QString& imageKey) {
    return imageKey.left(imageKey.size() - kImageSuffix.size()) + kStyleSuffix;
}

// Why a call failed, for the log.
QString failureOf(const QDBusMessage& reply) {
    if (reply.type() == QDBusMessage::ErrorMessage)
        return QStringLiteral("xfconf: %1: %2").arg(reply.errorName(), reply.errorMessage());
    return QStringLiteral("xfconf gave no answer");
}

bool isOurKey(const QString& key) {
    return key.startsWith(kBackdrop + QLatin1Char('/')) &&
           (key.endsWith(kImageSuffix) || key.endsWith(kStyleSuffix));
}

} // namespace

XfceWallpaper::XfceWallpaper(QDBusConnection bus, int timeoutMs)
    : m_bus(std::move(bus)), m_timeoutMs(timeoutMs) {}

bool XfceWallpaper::doProbe() {
    return backdropProperties().has_value();
}

std::optional<QVariantMap> XfceWallpaper::backdropProperties() {
    if (!m_bus.isConnected()) {
        fail(QStringLiteral("no session bus"));
        return std::nullopt;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                                       QStringLiteral("GetAllProperties"));
    call << kChannel << kBackdrop;
    const QDBusMessage reply = m_bus.call(call, QDBus::Block, m_timeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        // xfconf's own errors (an empty channel) mean no properties; the bus's mean no xfconf.
        if (reply.errorName().startsWith(QStringLiteral("org.xfce.Xfconf.Error")))
            return QVariantMap();
        fail(failureOf(reply));
        return std::nullopt;
    }
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        fail(failureOf(reply));
        return std::nullopt;
    }
    QVariantMap properties;
    const QVariant argument = reply.arguments().constFirst();
    if (argument.canConvert<QDBusArgument>())
        argument.value<QDBusArgument>() >> properties;
    else
        properties = argument.toMap();
    for (auto it = properties.begin(); it != properties.end(); ++it)
        if (it.value().canConvert<QDBusVariant>())
            it.value() = it.value().value<QDBusVariant>().variant();
    return properties;
}

bool XfceWallpaper::setProperty(const QString& property, const QVariant& value) {
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("SetProperty"));
    call << kChannel << property << QVariant::fromValue(QDBusVariant(value));
    const QDBusMessage reply = m_bus.call(call, QDBus::Block, m_timeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage || fail(failureOf(reply));
}

bool XfceWallpaper::resetProperty(const QString& property) {
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                                       QStringLiteral("ResetProperty"));
    call << kChannel << property << false;
    const QDBusMessage reply = m_bus.call(call, QDBus::Block, m_timeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage || fail(failureOf(reply));
}

bool XfceWallpaper::setPicture(const QVariantMap& properties, const QString& imageKey,
                               const WallpaperValues& values) {
    const Placement placement = WallpaperOptions::placementOf(values);
    int style = 1;
    for (const auto& [candidate, number] : kStyles)
        if (candidate == placement)
            style = number;
    bool ok = true;
    if (placement != Placement::None) {
        // The desktop does not reload a picture set again under the same name.
        if (properties.value(imageKey).toString() == values.wallpaper)
            setProperty(imageKey, QString());
        ok = setProperty(imageKey, values.wallpaper);
    }
    return setProperty(styleKeyOf(imageKey), style) && ok;
}

bool XfceWallpaper::doShow(const WallpaperValues& values) {
    const std::optional<QVariantMap> properties = backdropProperties();
    if (!properties)
        return false;
    QStringList imageKeys;
    for (auto it = properties->cbegin(); it != properties->cend(); ++it)
        if (it.key().endsWith(kImageSuffix))
            imageKeys << it.key();
    if (imageKeys.isEmpty())
        imageKeys << kDefaultImage;
    bool ok = true;
    for (const QString& key : std::as_const(imageKeys))
        ok = setPicture(*properties, key, values) && ok;
    return ok;
}

bool XfceWallpaper::doShowEach(const std::vector<ScreenWallpaper>& pictures) {
    const std::optional<QVariantMap> properties = backdropProperties();
    if (!properties)
        return false;
    // Monitors are keyed by their output name ("monitorHDMI-1"), or by number in older
    // versions; a monitor that is not connected now gets the first picture.
    static const QRegularExpression monitorOf(
        QStringLiteral("^/backdrop/screen\\d+/monitor([^/]+)/"));
    const auto pictureFor = [&](const QString& monitor) -> const ScreenWallpaper& {
        for (const ScreenWallpaper& picture : pictures)
            if (picture.screen.name == monitor)
                return picture;
        bool numbered = false;
        const int number = monitor.toInt(&numbered);
        if (numbered && number >= 0 && static_cast<std::size_t>(number) < pictures.size())
            return pictures[static_cast<std::size_t>(number)];
        return pictures.front();
    };
    bool ok = true;
    QStringList shown;
    for (auto it = properties->cbegin(); it != properties->cend(); ++it) {
        if (!it.key().endsWith(kImageSuffix))
            continue;
        const QRegularExpressionMatch match = monitorOf.match(it.key());
        const QString monitor = match.hasMatch() ? match.captured(1) : QString();
        const ScreenWallpaper& picture = pictureFor(monitor);
        shown << picture.screen.name;
        ok = setPicture(*properties, it.key(), picture.values) && ok;
    }
    // A screen the desktop has kept no picture for yet gets its first workspace's.
    for (const ScreenWallpaper& picture : pictures)
        if (!picture.screen.name.isEmpty() && !shown.contains(picture.screen.name))
            ok = setPicture(*properties,
                            QStringLiteral("/backdrop/screen0/monitor%1/workspace0/last-image")
                                .arg(picture.screen.name),
                            picture.values) &&
                 ok;
    return ok;
}

std::optional<WallpaperSnapshot> XfceWallpaper::doRead() {
    const std::optional<QVariantMap> properties = backdropProperties();
    if (!properties)
        return std::nullopt;
    QJsonObject recorded;
    QString firstImage;
    for (auto it = properties->cbegin(); it != properties->cend(); ++it) {
        if (it.key().endsWith(kImageSuffix)) {
            recorded.insert(it.key(), it.value().toString());
            if (firstImage.isEmpty() || it.key() == kDefaultImage)
                firstImage = it.key();
        } else if (it.key().endsWith(kStyleSuffix)) {
            recorded.insert(it.key(), it.value().toInt());
        }
    }
    WallpaperSnapshot snapshot;
    Placement placement = Placement::None;
    if (!firstImage.isEmpty()) {
        snapshot.values.wallpaper = properties->value(firstImage).toString();
        const QVariant style = properties->value(styleKeyOf(firstImage));
        placement = style.isValid() ? Placement::Zoomed : Placement::Centred; // xfce's default
        for (const auto& [candidate, number] : kStyles)
            if (style.isValid() && number == style.toInt())
                placement = candidate;
        if (snapshot.values.wallpaper.isEmpty())
            placement = Placement::None;
    }
    WallpaperOptions::describe(placement, snapshot.values);
    snapshot.detail = WallpaperRecord::write(name(), {{QStringLiteral("properties"), recorded}});
    return snapshot;
}

bool XfceWallpaper::doRestore(const WallpaperSnapshot& snapshot) {
    const std::optional<QJsonObject> record = WallpaperRecord::read(name(), snapshot.detail);
    if (!record)
        return doShow(snapshot.values);
    const std::optional<QVariantMap> properties = backdropProperties();
    if (!properties)
        return false;
    const QJsonObject recorded = record->value(QStringLiteral("properties")).toObject();
    bool ok = true;
    // What did not exist when the record was made is reset, not written.
    for (auto it = properties->cbegin(); it != properties->cend(); ++it)
        if (isOurKey(it.key()) && !recorded.contains(it.key()))
            ok = resetProperty(it.key()) && ok;
    for (auto it = recorded.begin(); it != recorded.end(); ++it) {
        if (!isOurKey(it.key()))
            continue;
        if (it.key().endsWith(kImageSuffix) && it.value().isString())
            ok = setProperty(it.key(), it.value().toString()) && ok;
        else if (it.key().endsWith(kStyleSuffix) && it.value().isDouble())
            ok = setProperty(it.key(), it.value().toInt()) && ok;
    }
    return ok;
}
