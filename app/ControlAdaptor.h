#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>

class PictureActions;
class ScreenInfo;
class TrayWindow;

// The running copy's D-Bus interface on the session bus, for key bindings, scripts and the
// command line. Every method returns at once: dialogs open from a queued call and Quit ends
// the program after its answer has gone out. The actions on the picture answer with the error
// example.halvik.Tessaron.Error.NotApplicable and the reason when they do not apply.
class ControlAdaptor : public QDBusAbstractAdaptor {
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
    // Adapts `window`, which owns the adaptor from then on.
    ControlAdaptor(TrayWindow& window, const ScreenInfo& screens, PictureActions& pictures);

    // Exports the interface and takes the program's bus name; false (logged) when either
    // fails, and the program then runs without it.
    bool publish(QDBusConnection bus);

    bool suspended() const;
    // Why the timer does not count: "screen-locked", "on-battery"; empty while it counts.
    QStringList pausedBy() const;
    // "scan-folder", "file-list", "ftp-list", or "unknown" for a value no source has.
    QString sourceMode() const;
    // The picture's path (or FTP address) as its source names it, not the bitmap made of it.
    QString currentPicture() const;
    uint secondsToNextChange() const;
    // Each screen as "NAME WIDTHxHEIGHT+X+Y, work area WIDTHxHEIGHT+X+Y" in device pixels.
    QStringList screens() const;
    // How many changes of the history are newer than the one on the screen.
    uint history() const;
    // The folder "Copy to Favourites" fills.
    QString favourites() const;

public slots:
    // The D-Bus method names.
    void Next();
    void Pause();
    void Resume();
    void TogglePause();
    void ShowProperties();
    void ShowAbout();
    void Quit();
    // The picture on the screen (the first screen's with a picture on each).
    void Previous(const QDBusMessage& message);
    void Open(const QDBusMessage& message);
    void ShowInFolder(const QDBusMessage& message);
    void Favourite(const QDBusMessage& message);
    void Trash(const QDBusMessage& message);
    void NeverAgain(const QDBusMessage& message);

private:
    // Answers the call with an error when the action did not apply.
    void answer(const QDBusMessage& message, const QString& whyNot);

    TrayWindow& m_window;
    const ScreenInfo& m_screens;
    PictureActions& m_pictures;
    QDBusConnection m_bus{QString()};
};
