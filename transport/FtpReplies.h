#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

// Reading what an FTP server sends, which is never trusted.
namespace FtpReplies {

// The names of a name listing (NLST data): one per line, CRLF or LF ended. Empty lines, names
// that are not valid UTF-8 and names holding control characters are left out; at most
// `maxNames` are returned. A last line without an ending counts only when `complete` (the
// transfer ended normally).
QStringList parseNameList(const QByteArray& data, int maxNames, bool complete = true);

// The directory of a "257" reply to PWD: the quoted text with doubled quotes undone, or, when
// the server quotes nothing, the rest of the line. Nothing for any other reply.
std::optional<QString> parseDirectoryReply(const QByteArray& line);

// True when the text holds a character that must never be sent inside an FTP command
// (line breaks and other control characters).
bool hasControlCharacters(const QString& text);

} // namespace FtpReplies
