#include "platform/windows/PipeControlConnection.h"

#include "platform/windows/ControlPipeProtocol.h"

#include <QDeadlineTimer>
#include <QLocalSocket>

namespace P = ControlPipeProtocol;

namespace {

// A running copy takes the connection at once; a pipe whose instances are all busy for that
// long has no copy behind it that answers.
constexpr int kConnectMs = 2000;
// As long as a D-Bus call waits for its answer.
constexpr int kAnswerMs = 25000;

ControlReply failed(const QString& error) {
    return {.outcome = ControlReply::Outcome::Failed, .error = error, .properties = {}};
}

} // namespace

PipeControlConnection::PipeControlConnection(QString name) : m_name(std::move(name)) {}

ControlReply PipeControlConnection::ask(const QByteArray& request) {
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(kConnectMs)) {
        if (socket.error() == QLocalSocket::ServerNotFoundError ||
            socket.error() == QLocalSocket::ConnectionRefusedError ||
            socket.error() == QLocalSocket::SocketTimeoutError)
            return {};
        return failed(socket.errorString());
    }
    socket.write(request);
    const QDeadlineTimer deadline(kAnswerMs);
    ControlReply reply;
    qsizetype read = 0;
    for (;;) {
        while (socket.canReadLine()) {
            const QByteArray line = socket.readLine(P::kMaxAnswer);
            read += line.size();
            if (!line.endsWith('\n') || read > P::kMaxAnswer)
                return failed(QStringLiteral("The running copy's answer is too long"));
            if (P::readAnswerLine(line.chopped(1), reply))
                return reply;
        }
        if (socket.bytesAvailable() > P::kMaxAnswer)
            return failed(QStringLiteral("The running copy's answer is too long"));
        if (socket.state() != QLocalSocket::ConnectedState)
            return {}; // it ended before it answered
        if (deadline.hasExpired())
            return failed(QStringLiteral("The running copy did not answer"));
        socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
    }
}

ControlReply PipeControlConnection::call(const QString& method) {
    return ask(P::callRequest(method));
}

ControlReply PipeControlConnection::properties() {
    return ask(P::statusRequest());
}
