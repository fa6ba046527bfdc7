#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QMap>
#include <QString>
#include <QVariant>
#include <mutex>

// A desktop service at its real D-Bus interface, for tests: on a connection of its own it owns
// a name, answers method calls and property reads with values the test sets, and announces
// changes as the real service does. Calls are answered on the bus's own thread.
class FakeBusService : public QDBusVirtualObject {
public:
    explicit FakeBusService(const QString& busAddress);
    ~FakeBusService() override;

    // Takes the service's name, once its answers are set; false when that fails.
    bool own(const QString& name);
    // Gives up the name, as a service that ends.
    void leave();

    // The answer to `interface.method` at `path`.
    void setReply(const QString& path, const QString& interface, const QString& method,
                  const QVariantList& reply);
    // Sets a property and announces it with PropertiesChanged.
    void setProperty(const QString& path, const QString& interface, const QString& name,
                     const QVariant& value);
    void emitSignal(const QString& path, const QString& interface, const QString& name,
                    const QVariantList& arguments);
    // Every method call received, in order (property reads too).
    QList<QDBusMessage> calls() const;

    QString introspect(const QString& path) const override;
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

private:
    QString m_connectionName;
    QDBusConnection m_bus;
    QString m_name;
    mutable std::mutex m_mutex;
    QMap<QString, QVariantList> m_replies; // "path interface.member"
    QMap<QString, QVariant> m_properties;  // "path interface.name"
    QList<QDBusMessage> m_calls;
};
