#pragma once

#include <QString>
#include <QVariantMap>

// The running copy's answer to one request, as the command line reports it.
struct ControlReply {
    enum class Outcome {
        Answered,   // done; `properties` holds the state when it was asked for
        NotRunning, // no copy takes requests (or it ended before it answered)
        Failed,     // `error` says why: the reason an action does not apply, or the channel's
    };
    Outcome outcome = Outcome::NotRunning;
    QString error;
    // By the D-Bus property names (Suspended, PausedBy...): bool, QStringList, QString or uint.
    QVariantMap properties;
};

// The command line's end of the control channel. Starts nothing: with no copy running every
// request comes back NotRunning.
class ControlConnection {
public:
    virtual ~ControlConnection() = default;

    // Calls the method of that name (CommandLineTemplate::kCalls).
    virtual ControlReply call(const QString& method) = 0;
    // Asks for every property of the state.
    virtual ControlReply properties() = 0;
};
