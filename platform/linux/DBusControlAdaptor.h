#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>

class ControlTarget;

// The running copy's D-Bus interface on the session bus, for key bindings, scripts and the
// command line. The actions answer with the error example.halvik.Tessaron.Error.NotApplicable
// and the reason when they do not apply.
class DBusControlAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "example.halvik.Tessaron")
    Q_PROPERTY(bool Suspended READ suspended)
    Q_PROPERTY(QStringList PausedBy READ pausedBy)
    Q_PROPERTY(QString SourceMode READ sourceMode)
    Q_PROPERTY(QString CurrentPicture READ currentPicture)
    Q_PROPERTY(uint SecondsToNextChange READ secondsToNextChange)
    Q_PROPERTY(QStringList Screens READ screens)
    Q_PROPERTY(uint History READ history)
    Q_PROPERTY(QString Favourites READ favourites)

public:
    // Adapts `object`, which owns the adaptor from then on and is exported on `bus`.
    DBusControlAdaptor(QObject& object, ControlTarget& target, QDBusConnection bus);

    bool suspended() const;
    QStringList pausedBy() const;
    QString sourceMode() const;
    QString currentPicture() const;
    uint secondsToNextChange() const;
    QStringList screens() const;
    uint history() const;
    QString favourites() const;

public slots:
    // The D-Bus method names, each the target's method of that name.
    void Next(const QDBusMessage& message);
    void Pause(const QDBusMessage& message);
    void Resume(const QDBusMessage& message);
    void TogglePause(const QDBusMessage& message);
    void ShowProperties(const QDBusMessage& message);
    void ShowAbout(const QDBusMessage& message);
    void Quit(const QDBusMessage& message);
    void Previous(const QDBusMessage& message);
    void Open(const QDBusMessage& message);
    void ShowInFolder(const QDBusMessage& message);
    void Favourite(const QDBusMessage& message);
    void Trash(const QDBusMessage& message);
    void NeverAgain(const QDBusMessage& message);

private:
    // Calls the target's method; answers the call with an error when it did not apply.
    void forward(const QDBusMessage& message, const char* method);

    ControlTarget& m_target;
    QDBusConnection m_bus;
};
