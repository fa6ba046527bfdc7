#include "transport/FtpReplies.h"

#include <QStringDecoder>

namespace FtpReplies {

bool hasControlCharacters(const QString& text) {
    for (const QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return true;
    return false;
}

namespace {

std::optional<QString> decodeName(QByteArrayView bytes) {
    if (bytes.isEmpty())
        return std::nullopt;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString name = decoder(bytes);
    if (decoder.hasError() || hasControlCharacters(name))
        return std::nullopt;
    return name;
}

} // namespace

QStringList parseNameList(const QByteArray& data, int maxNames, bool complete) {
    QStringList names;
    qsizetype start = 0;
    while (start < data.size() && names.size() < maxNames) {
        qsizetype end = data.indexOf('\n', start);
        if (end < 0) {
            if (!complete)
                break;
            end = data.size();
        }
        QByteArrayView line(data.constData() + start, end - start);
        if (line.endsWith('\r'))
            line.chop(1);
        if (std::optional<QString> name = decodeName(line))
            names.append(*name);
        start = end + 1;
    }
    return names;
}

std::optional<QString> parseDirectoryReply(const QByteArray& line) {
    if (!line.startsWith("257"))
        return std::nullopt;
    QByteArray rest = line.mid(3);
    if (rest.startsWith(' ') || rest.startsWith('-'))
        rest.remove(0, 1);
    while (rest.endsWith('\n') || rest.endsWith('\r'))
        rest.chop(1);

    const qsizetype open = rest.indexOf('"');
    if (open < 0)
        return QString::fromUtf8(rest.trimmed());
    // Inside the quotes a doubled quote stands for one quote.
    QByteArray directory;
    for (qsizetype i = open + 1; i < rest.size(); ++i) {
        if (rest[i] == '"') {
            if (i + 1 < rest.size() && rest[i + 1] == '"') {
                directory.append('"');
                ++i;
                continue;
            }
            break;
        }
        directory.append(rest[i]);
    }
    return QString::fromUtf8(directory);
}

} // namespace FtpReplies
