#include "platform/windows/ControlPipeProtocol.h"

#include "platform/ControlConnection.h"
#include "platform/ControlTarget.h"

#include <QList>
#include <QStringList>

namespace ControlPipeProtocol {

namespace {

QByteArray encoded(const QString& text) {
    return text.toUtf8().toPercentEncoding();
}

QString decoded(const QByteArray& field) {
    return QString::fromUtf8(QByteArray::fromPercentEncoding(field));
}

QByteArray property(const char* name, const char* type, const QByteArray& values) {
    return QByteArray("property ") + name + ' ' + type + values + '\n';
}

QByteArray text(const char* name, const QString& value) {
    return property(name, "text", ' ' + encoded(value));
}

QByteArray list(const char* name, const QStringList& values) {
    QByteArray fields;
    for (const QString& value : values)
        fields += ' ' + encoded(value);
    return property(name, "list", fields);
}

QByteArray number(const char* name, uint value) {
    return property(name, "number", ' ' + QByteArray::number(value));
}

// A property line's value by its type; an invalid QVariant for a line that is not of ours.
QVariant propertyValue(const QByteArray& type, const QList<QByteArray>& values) {
    if (type == "list") {
        QStringList items;
        for (const QByteArray& value : values)
            items << decoded(value);
        return items;
    }
    if (values.size() != 1)
        return {};
    if (type == "text")
        return decoded(values.front());
    if (type == "bool" && (values.front() == "yes" || values.front() == "no"))
        return values.front() == "yes";
    bool ok = false;
    const uint value = values.front().toUInt(&ok);
    if (type == "number" && ok)
        return value;
    return {};
}

} // namespace

QByteArray callRequest(const QString& method) {
    return "call " + encoded(method) + '\n';
}

QByteArray statusRequest() {
    return "status\n";
}

Request parseRequest(const QByteArray& line) {
    if (line == "status")
        return {Request::Kind::Status, {}};
    if (line.startsWith("call ") && line.count(' ') == 1)
        return {Request::Kind::Call, decoded(line.mid(5))};
    return {};
}

QByteArray callAnswer(const QString& whyNot) {
    return whyNot.isEmpty() ? QByteArray("ok\n") : "error " + encoded(whyNot) + '\n';
}

QByteArray statusAnswer(const ControlStatus& status) {
    return property("Suspended", "bool", status.suspended ? " yes" : " no") +
           list("PausedBy", status.pausedBy) + text("SourceMode", status.sourceMode) +
           text("CurrentPicture", status.currentPicture) +
           number("SecondsToNextChange", status.secondsToNextChange) +
           list("Screens", status.screens) + number("History", status.history) +
           text("Favourites", status.favourites) + "ok\n";
}

bool readAnswerLine(const QByteArray& line, ControlReply& reply) {
    const QList<QByteArray> fields = line.split(' ');
    if (line == "ok") {
        reply.outcome = ControlReply::Outcome::Answered;
        return true;
    }
    if (fields.size() == 2 && fields[0] == "error") {
        reply.outcome = ControlReply::Outcome::Failed;
        reply.error = decoded(fields[1]);
        return true;
    }
    if (fields.size() >= 3 && fields[0] == "property") {
        const QVariant value = propertyValue(fields[2], fields.mid(3));
        if (value.isValid()) {
            reply.properties.insert(QString::fromLatin1(fields[1]), value);
            return false;
        }
    }
    reply.outcome = ControlReply::Outcome::Failed;
    reply.error = QStringLiteral("The running copy's answer is not understood");
    reply.properties.clear();
    return true;
}

} // namespace ControlPipeProtocol
