#include "tests/support/SniWatcher.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDateTime>

namespace {

const QString kItemInterface = QStringLiteral("org.kde.StatusNotifierItem");
const QString kMenuInterface = QStringLiteral("com.canonical.dbusmenu");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

// Unwraps a D-Bus variant that may arrive as a QDBusVariant inside a QVariant.
QVariant unwrap(const QVariant& value) {
    if (value.canConvert<QDBusVariant>())
        return value.value<QDBusVariant>().variant();
    return value;
}

void readLayout(const QDBusArgument& argument, std::vector<SniWatcher::MenuItem>& items,
                int depth) {
    // (ia{sv}av): id, properties, children
    int id = 0;
    QVariantMap properties;
    argument.beginStructure();
    argument >> id;
    argument.beginMap();
    while (!argument.atEnd()) {
        QString key;
        QDBusVariant value;
        argument.beginMapEntry();
        argument >> key >> value;
        argument.endMapEntry();
        properties.insert(key, value.variant());
    }
    argument.endMap();
    if (depth > 0) {
        SniWatcher::MenuItem item;
        item.id = id;
        item.label = properties.value(QStringLiteral("label")).toString().remove(QLatin1Char('_'));
        item.separator =
            properties.value(QStringLiteral("type")).toString() == QLatin1String("separator");
        item.checkable = properties.contains(QStringLiteral("toggle-type"));
        item.checked = properties.value(QStringLiteral("toggle-state")).toInt() == 1;
        item.visible = properties.value(QStringLiteral("visible"), true).toBool();
        items.push_back(item);
    }
    argument.beginArray();
    while (!argument.atEnd()) {
        QDBusVariant child;
        argument >> child;
        readLayout(child.variant().value<QDBusArgument>(), items, depth + 1);
    }
    argument.endArray();
    argument.endStructure();
}

} // namespace

SniWatcher::SniWatcher(QDBusConnection connection) : m_connection(std::move(connection)) {
    m_registered = m_connection.registerObject(QStringLiteral("/StatusNotifierWatcher"), this,
                                               QDBusConnection::ExportAllSlots |
                                                   QDBusConnection::ExportAllSignals |
                                                   QDBusConnection::ExportAllProperties) &&
                   m_connection.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"));
}

SniWatcher::~SniWatcher() {
    m_connection.unregisterService(QStringLiteral("org.kde.StatusNotifierWatcher"));
    m_connection.unregisterObject(QStringLiteral("/StatusNotifierWatcher"));
}

void SniWatcher::RegisterStatusNotifierItem(const QString& service, const QDBusMessage& message) {
    // An item names itself either by a bus name or by an object path on the caller's name.
    const QString item =
        service.startsWith(QLatin1Char('/')) ? message.service() + service : service;
    if (!m_items.contains(item)) {
        m_items << item;
        emit StatusNotifierItemRegistered(item);
    }
}

void SniWatcher::RegisterStatusNotifierHost(const QString&) {}

SniWatcher::Address SniWatcher::address(const QString& item) const {
    // "service/path", or "service@/path" as GNOME Shell's tray extension lists them.
    const qsizetype slash = item.indexOf(QLatin1Char('/'));
    if (slash < 0)
        return {item, QStringLiteral("/StatusNotifierItem")};
    const qsizetype end = slash > 0 && item.at(slash - 1) == u'@' ? slash - 1 : slash;
    return {item.left(end), item.mid(slash)};
}

QString SniWatcher::toolTip(const QString& item) const {
    const Address where = address(item);
    QDBusMessage call = QDBusMessage::createMethodCall(where.service, where.path, kProperties,
                                                       QStringLiteral("Get"));
    call << kItemInterface << QStringLiteral("ToolTip");
    const QDBusMessage reply = m_connection.call(call, QDBus::Block, 5000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    // (sa(iiay)ss): icon name, icon pixmaps, title, text
    const QDBusArgument argument = unwrap(reply.arguments().first()).value<QDBusArgument>();
    QString iconName, title, text;
    argument.beginStructure();
    argument >> iconName;
    argument.beginArray();
    while (!argument.atEnd()) {
        int width = 0, height = 0;
        QByteArray bytes;
        argument.beginStructure();
        argument >> width >> height >> bytes;
        argument.endStructure();
    }
    argument.endArray();
    argument >> title >> text;
    argument.endStructure();
    return title.isEmpty() ? text : title;
}

QString SniWatcher::menuPath(const Address& item) const {
    QDBusMessage call =
        QDBusMessage::createMethodCall(item.service, item.path, kProperties, QStringLiteral("Get"));
    call << kItemInterface << QStringLiteral("Menu");
    const QDBusMessage reply = m_connection.call(call, QDBus::Block, 5000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    return unwrap(reply.arguments().first()).value<QDBusObjectPath>().path();
}

std::vector<SniWatcher::MenuItem> SniWatcher::menu(const QString& item) const {
    const Address where = address(item);
    const QString path = menuPath(where);
    if (path.isEmpty())
        return {};
    // Panels announce that the menu is about to open; the program refreshes check marks then.
    QDBusMessage about = QDBusMessage::createMethodCall(where.service, path, kMenuInterface,
                                                        QStringLiteral("AboutToShow"));
    about << 0;
    m_connection.call(about, QDBus::Block, 5000);
    QDBusMessage call = QDBusMessage::createMethodCall(where.service, path, kMenuInterface,
                                                       QStringLiteral("GetLayout"));
    call << 0 << -1 << QStringList();
    const QDBusMessage reply = m_connection.call(call, QDBus::Block, 5000);
    std::vector<MenuItem> items;
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() < 2)
        return items;
    readLayout(reply.arguments().at(1).value<QDBusArgument>(), items, 0);
    return items;
}

bool SniWatcher::clickMenuItem(const QString& item, const QString& label) const {
    const Address where = address(item);
    const QString path = menuPath(where);
    for (const MenuItem& entry : menu(item)) {
        if (entry.label != label)
            continue;
        QDBusMessage call = QDBusMessage::createMethodCall(where.service, path, kMenuInterface,
                                                           QStringLiteral("Event"));
        call << entry.id << QStringLiteral("clicked") << QVariant::fromValue(QDBusVariant(0))
             << static_cast<uint>(QDateTime::currentSecsSinceEpoch());
        return m_connection.send(call);
    }
    return false;
}

bool SniWatcher::activate(const QString& item, int replyBoundMs) const {
    const Address where = address(item);
    QDBusMessage call = QDBusMessage::createMethodCall(where.service, where.path, kItemInterface,
                                                       QStringLiteral("Activate"));
    call << 0 << 0;
    if (replyBoundMs <= 0)
        return m_connection.send(call);
    return m_connection.call(call, QDBus::Block, replyBoundMs).type() == QDBusMessage::ReplyMessage;
}
