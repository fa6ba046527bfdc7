#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantMap>

class QDBusServiceWatcher;

// A yes/no state that a desktop service publishes on D-Bus, followed without blocking: read
// when following starts and whenever the service appears, then kept current from the
// service's own signals. While the service is absent the flag is false, so a service that
// ends (or crashes) while the flag is set does not leave it set.
class DBusFlag : public QObject {
    Q_OBJECT

public:
    struct Address {
        QString service;
        QString path;
        QString interface;
    };
    enum class Kind {
        // A property `member` of the interface, announced by PropertiesChanged.
        Property,
        // Read by the method Get<member>, announced by the signal <member>Changed(bool), as
        // the screen-saver interfaces do.
        GetterAndSignal,
    };

    DBusFlag(QDBusConnection bus, Address address, Kind kind, QString member,
             QObject* parent = nullptr);

    void start();
    bool value() const { return m_value; }

signals:
    void valueChanged(bool value);

private slots:
    // Matched by name on the bus, which only knows slots by their signature.
    void onChangedSignal(bool value);
    void onPropertiesChanged(const QString& interface, const QVariantMap& changed,
                             const QStringList& invalidated);

private:
    void read();
    void set(bool value);
    QString describe() const;

    QDBusConnection m_bus;
    const Address m_address;
    const Kind m_kind;
    const QString m_member;
    QDBusServiceWatcher* m_serviceWatcher = nullptr;
    bool m_value = false;
    // Counts the updates the service announced, so that a read answered after a newer
    // announcement does not put back the older value.
    quint64 m_announcements = 0;
};
