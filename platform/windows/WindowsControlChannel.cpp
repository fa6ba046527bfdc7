#include "platform/ControlChannel.h"

#include "platform/windows/PipeControlConnection.h"
#include "platform/windows/PipeControlServer.h"

#include <QByteArray>

#include <windows.h>

#include <sddl.h>

namespace {

// The user's security identifier, as text; empty when the system does not tell it.
QString userSid() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return {};
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    QByteArray buffer(static_cast<qsizetype>(size), '\0');
    QString sid;
    wchar_t* text = nullptr;
    if (size > 0 && GetTokenInformation(token, TokenUser, buffer.data(), size, &size) &&
        ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
        sid = QString::fromWCharArray(text);
        LocalFree(text);
    }
    CloseHandle(token);
    return sid;
}

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
