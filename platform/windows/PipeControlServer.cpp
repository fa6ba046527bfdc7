#include "platform/windows/PipeControlServer.h"

#include "platform/ControlTarget.h"
#include "platform/LogCategories.h"
#include "platform/windows/ControlPipeProtocol.h"

#include <QLocalSocket>

#include <windows.h>

namespace P = ControlPipeProtocol;

namespace {

constexpr int kLastAnswerMs = 1000;

QString pipePath(const QString& name) {
    return QStringLiteral("\\\\.\\pipe\\") + name;
}

} // namespace

PipeControlServer::PipeControlServer(QString name) : m_name(std::move(name)) {}

PipeControlServer::~PipeControlServer() {
    for (QLocalSocket* socket : m_server.findChildren<QLocalSocket*>())
        if (socket->bytesToWrite() > 0)
            socket->waitForBytesWritten(kLastAnswerMs);
}

bool PipeControlServer::claimName() {
    const std::wstring path = pipePath(m_name).toStdWString();
    // A pipe of that name is there when a client could wait for it. Some systems (Wine) let a
    // second first instance through, so this is asked before the first instance is made.
    const bool there = WaitNamedPipeW(path.c_str(), 1) || GetLastError() != ERROR_FILE_NOT_FOUND;
    // The first instance of a pipe decides who may add instances to it; Qt's listeners are
    // added after it, and it goes once they are there.
    HANDLE first =
        there ? INVALID_HANDLE_VALUE
              : CreateNamedPipeW(path.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_FIRST_PIPE_INSTANCE,
                                 PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT,
                                 PIPE_UNLIMITED_INSTANCES, 0, 0, 0, nullptr);
    if (first == INVALID_HANDLE_VALUE) {
        qCWarning(lcApp).noquote() << "Cannot take the control pipe" << m_name
                                   << "(held by another program), so no command line control";
        return false;
    }
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    const bool listening = m_server.listen(m_name);
    CloseHandle(first);
    if (!listening)
        qCWarning(lcApp).noquote()
            << "Cannot open the control pipe" << m_name << ":" << m_server.errorString();
    return listening;
}

bool PipeControlServer::publish(ControlTarget& target) {
    m_target = &target;
    if (!claimName())
        return false;
    QObject::connect(&m_server, &QLocalServer::newConnection, &m_server, [this] {
        while (QLocalSocket* socket = m_server.nextPendingConnection()) {
            QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            QObject::connect(socket, &QLocalSocket::readyRead, socket,
                             [this, socket] { serve(*socket); });
            serve(*socket);
        }
    });
    return true;
}

void PipeControlServer::serve(QLocalSocket& socket) {
    if (!socket.canReadLine()) {
        if (socket.bytesAvailable() > P::kMaxRequest)
            socket.abort();
        return;
    }
    QByteArray line = socket.readLine(P::kMaxRequest + 2);
    if (!line.endsWith('\n')) {
        socket.abort();
        return;
    }
    line.chop(1);
    // One request per connection: whatever follows is not read.
    QObject::disconnect(&socket, &QLocalSocket::readyRead, nullptr, nullptr);
    const P::Request request = P::parseRequest(line);
    switch (request.kind) {
    case P::Request::Kind::Call:
        socket.write(P::callAnswer(m_target->call(request.method)));
        break;
    case P::Request::Kind::Status:
        socket.write(P::statusAnswer(m_target->status()));
        break;
    case P::Request::Kind::Unknown:
        socket.write(P::callAnswer(QStringLiteral("Not a request")));
        break;
    }
    socket.flush();
    socket.disconnectFromServer();
}
