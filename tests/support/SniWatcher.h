#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <vector>

// A minimal StatusNotifierItem watcher and host on a test's bus: programs that show a tray
// icon register with it, and the test reads the icon's tip and drives its menu through the
// item's own D-Bus interfaces, as a desktop panel would.
class SniWatcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ registeredItems)
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isHostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)

public:
    explicit SniWatcher(QDBusConnection connection);
    ~SniWatcher() override;

    bool isRegistered() const { return m_registered; }
    QStringList registeredItems() const { return m_items; }
    bool isHostRegistered() const { return true; }
    int protocolVersion() const { return 0; }

    struct MenuItem {
        int id = 0;
        QString label;
        bool checkable = false;
        bool checked = false;
        bool separator = false;
        bool visible = true; // a host leaves out the items that are not
    };

    // The item's tip (its tool-tip title), or a null string when it cannot be read.
    QString toolTip(const QString& item) const;
    std::vector<MenuItem> menu(const QString& item) const;
    // Picks a menu item as a click would; false when the item has no such entry.
    bool clickMenuItem(const QString& item, const QString& label) const;
    // A left click on the icon. With a bound, waits that long for the item's reply, as a
    // panel that waits would, and tells whether it came.
    bool activate(const QString& item, int replyBoundMs = 0) const;

public slots:
    void RegisterStatusNotifierItem(const QString& service, const QDBusMessage& message);
    void RegisterStatusNotifierHost(const QString& service);

signals:
    void StatusNotifierItemRegistered(const QString& service);
    void StatusNotifierItemUnregistered(const QString& service);
    void StatusNotifierHostRegistered();

private:
    struct Address {
        QString service;
        QString path;
    };
    Address address(const QString& item) const;
    QString menuPath(const Address& item) const;

    QDBusConnection m_connection;
    QStringList m_items;
    bool m_registered = false;
};
