#include "app/ControlClient.h"

#include "platform/ControlConnection.h"
#include "platform/PrintableText.h"
#include "resources/CommandLineTemplate.h"

#include <QStringList>

namespace {

// The properties in the order they are printed, each on a line of its own: a picture's name
// may hold line breaks and terminal escapes, and the peer answering may be anyone.
constexpr const char* kStatusKeys[] = {
    "Suspended",           "PausedBy", "SourceMode", "CurrentPicture",
    "SecondsToNextChange", "Screens",  "History",    "Favourites"};

QString printable(const QVariant& value) {
    if (value.metaType() == QMetaType::fromType<bool>())
        return value.toBool() ? QStringLiteral("yes") : QStringLiteral("no");
    if (value.metaType() == QMetaType::fromType<QStringList>()) {
        const QStringList items = value.toStringList();
        return items.isEmpty() ? QStringLiteral("none")
                               : PrintableText::escaped(items.join(QStringLiteral("; ")));
    }
    return PrintableText::escaped(value.toString());
}

} // namespace

ControlClient::ControlClient(std::unique_ptr<ControlConnection> connection)
    : m_connection(std::move(connection)) {}

ControlClient::~ControlClient() = default;

bool ControlClient::answered(const ControlReply& reply, std::FILE* errors) {
    switch (reply.outcome) {
    case ControlReply::Outcome::Answered:
        return true;
    case ControlReply::Outcome::NotRunning:
        std::fprintf(errors, "%s\n", CommandLineTemplate::kNotRunning);
        return false;
    case ControlReply::Outcome::Failed:
        break;
    }
    std::fprintf(errors, "tessaron: %s\n", qPrintable(PrintableText::escaped(reply.error)));
    return false;
}

int ControlClient::call(const QString& method, std::FILE* errors) {
    return answered(m_connection->call(method), errors) ? 0 : 1;
}

int ControlClient::printStatus(std::FILE* out, std::FILE* errors) {
    const ControlReply reply = m_connection->properties();
    if (!answered(reply, errors))
        return 1;
    for (const char* key : kStatusKeys)
        std::fprintf(out, "%s: %s\n", key,
                     qPrintable(printable(reply.properties.value(QString::fromLatin1(key)))));
    return 0;
}
