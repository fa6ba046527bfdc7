#pragma once

#include <QString>
#include <QStringList>

// The running copy's state as the control channel shows it to other programs.
struct ControlStatus {
    bool suspended = false;
    // Why the timer does not count: "screen-locked", "on-battery"; empty while it counts.
    QStringList pausedBy;
    // "scan-folder", "file-list", "ftp-list", or "unknown" for a value no source has.
    QString sourceMode;
    // The picture's path (or FTP address) as its source names it, not the bitmap made of it.
    QString currentPicture;
    uint secondsToNextChange = 0;
    // Each screen as "NAME WIDTHxHEIGHT+X+Y, work area WIDTHxHEIGHT+X+Y" in device pixels.
    QStringList screens;
    // How many changes of the history are newer than the one on the screen.
    uint history = 0;
    // The folder "Copy to Favourites" fills.
    QString favourites;
};

// What the running copy does when another program asks, whatever channel carries the request.
// Called on the user-interface thread; every call returns at once. The texts it hands out are
// valid Unicode, which is all a channel carries.
class ControlTarget {
public:
    virtual ~ControlTarget() = default;

    // Does what the method of that name asks (CommandLineTemplate::kCalls); empty when done,
    // or why it does not apply, for the channel to answer as the NotApplicable error.
    virtual QString call(const QString& method) = 0;
    virtual ControlStatus status() const = 0;
};
