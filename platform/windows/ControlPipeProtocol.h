#pragma once

#include <QByteArray>
#include <QString>

struct ControlReply;
struct ControlStatus;

// The control pipe's lines. The client sends one request line, "call METHOD" or "status"; the
// running copy answers with "property NAME TYPE VALUE..." lines for a status and ends with "ok"
// or "error MESSAGE". TYPE is bool (yes or no), number, text (one value) or list (any number of
// values); every value and message is percent-encoded UTF-8, so no text can forge a line.
namespace ControlPipeProtocol {

// Longer requests are no requests of ours: the connection is dropped.
inline constexpr qsizetype kMaxRequest = 256;
// The most a client reads; a state takes a few kilobytes.
inline constexpr qsizetype kMaxAnswer = 1 << 20;

QByteArray callRequest(const QString& method);
QByteArray statusRequest();

// A request line (without its line break), as the running copy reads it.
struct Request {
    enum class Kind { Call, Status, Unknown };
    Kind kind = Kind::Unknown;
    QString method; // of a call
};
Request parseRequest(const QByteArray& line);

// The answer to a call: "ok", or the error with `whyNot`.
QByteArray callAnswer(const QString& whyNot);
QByteArray statusAnswer(const ControlStatus& status);

// Takes one answer line (without its line break) into `reply`; true once the answer is
// complete. A line that is not of the protocol completes the answer as Failed.
bool readAnswerLine(const QByteArray& line, ControlReply& reply);

} // namespace ControlPipeProtocol
