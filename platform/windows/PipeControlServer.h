#pragma once

#include "platform/ControlServer.h"

#include <QLocalServer>
#include <QString>

class QLocalSocket;

// The control channel on Windows: a named pipe that only this user can open, answering each
// connection's one request line (ControlPipeProtocol).
class PipeControlServer : public ControlServer {
public:
    explicit PipeControlServer(QString name);
    // Answers still on their way get a moment to reach their readers: Quit is answered just
    // before the program ends.
    ~PipeControlServer() override;

    bool publish(ControlTarget& target) override;

private:
    // Takes the name before the server listens: a pipe of that name already there (another
    // copy's, or anyone's) would take part of the connections.
    bool claimName();
    void serve(QLocalSocket& socket);

    QString m_name;
    QLocalServer m_server;
    ControlTarget* m_target = nullptr;
};
