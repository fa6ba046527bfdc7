#pragma once

#include "platform/ControlConnection.h"

#include <QByteArray>

// The command line's side of the control pipe: one connection per request, which fails at
// once when no copy of this user listens.
class PipeControlConnection : public ControlConnection {
public:
    explicit PipeControlConnection(QString name);

    ControlReply call(const QString& method) override;
    ControlReply properties() override;

private:
    ControlReply ask(const QByteArray& request);

    QString m_name;
};
