#include "platform/ControlChannel.h"

#include "platform/windows/PipeControlConnection.h"
#include "platform/windows/PipeControlServer.h"
#include "platform/windows/UserSid.h"

#include <QByteArray>

#include <windows.h>

#include <sddl.h>

namespace {

// One pipe per user and session, as the session bus is on Linux: pipe names are seen by the
// whole machine, and only the user's own may open it (PipeControlServer).
QString pipeName() {
    QString user = userSid();
    if (user.isEmpty())
        user = QString::fromLatin1(qEnvironmentVariable("USERNAME").toUtf8().toPercentEncoding());
    DWORD session = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &session);
    return QStringLiteral("Tessaron-control-%1-%2").arg(user).arg(session);
}

} // namespace

std::unique_ptr<ControlServer> ControlChannel::server() {
    return std::make_unique<PipeControlServer>(pipeName());
}

std::unique_ptr<ControlConnection> ControlChannel::connection() {
    return std::make_unique<PipeControlConnection>(pipeName());
}
