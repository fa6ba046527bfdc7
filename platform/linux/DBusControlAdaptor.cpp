#include "platform/linux/DBusControlAdaptor.h"

#include "platform/ControlTarget.h"
#include "resources/CommandLineTemplate.h"

#include <string_view>

static_assert(std::string_view(CommandLineTemplate::kBusName) == "example.halvik.Tessaron",
              "the interface is named like the bus name");

DBusControlAdaptor::DBusControlAdaptor(QObject& object, ControlTarget& target, QDBusConnection bus)
    : QDBusAbstractAdaptor(&object), m_target(target), m_bus(std::move(bus)) {}

bool DBusControlAdaptor::suspended() const {
    return m_target.status().suspended;
}

QStringList DBusControlAdaptor::pausedBy() const {
    return m_target.status().pausedBy;
}

QString DBusControlAdaptor::sourceMode() const {
    return m_target.status().sourceMode;
}

QString DBusControlAdaptor::currentPicture() const {
    return m_target.status().currentPicture;
}

uint DBusControlAdaptor::secondsToNextChange() const {
    return m_target.status().secondsToNextChange;
}

QStringList DBusControlAdaptor::screens() const {
    return m_target.status().screens;
}

uint DBusControlAdaptor::history() const {
    return m_target.status().history;
}

QString DBusControlAdaptor::favourites() const {
    return m_target.status().favourites;
}

void DBusControlAdaptor::forward(const QDBusMessage& message, const char* method) {
    const QString whyNot = m_target.call(QString::fromLatin1(method));
    if (whyNot.isEmpty())
        return;
    message.setDelayedReply(true);
    m_bus.send(
        message.createErrorReply(QString::fromLatin1(CommandLineTemplate::kNotApplicable), whyNot));
}

void DBusControlAdaptor::Next(const QDBusMessage& message) {
    forward(message, "Next");
}

void DBusControlAdaptor::Pause(const QDBusMessage& message) {
    forward(message, "Pause");
}

void DBusControlAdaptor::Resume(const QDBusMessage& message) {
    forward(message, "Resume");
}

void DBusControlAdaptor::TogglePause(const QDBusMessage& message) {
    forward(message, "TogglePause");
}

void DBusControlAdaptor::ShowProperties(const QDBusMessage& message) {
    forward(message, "ShowProperties");
}

void DBusControlAdaptor::ShowAbout(const QDBusMessage& message) {
    forward(message, "ShowAbout");
}

void DBusControlAdaptor::Quit(const QDBusMessage& message) {
    forward(message, "Quit");
}

void DBusControlAdaptor::Previous(const QDBusMessage& message) {
    forward(message, "Previous");
}

void DBusControlAdaptor::Open(const QDBusMessage& message) {
    forward(message, "Open");
}

void DBusControlAdaptor::ShowInFolder(const QDBusMessage& message) {
    forward(message, "ShowInFolder");
}

void DBusControlAdaptor::Favourite(const QDBusMessage& message) {
    forward(message, "Favourite");
}

void DBusControlAdaptor::Trash(const QDBusMessage& message) {
    forward(message, "Trash");
}

void DBusControlAdaptor::NeverAgain(const QDBusMessage& message) {
    forward(message, "NeverAgain");
}
