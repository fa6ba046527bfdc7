#include "app/CommandLine.h"

#include "resources/CommandLineTemplate.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace C = CommandLineTemplate;

CommandLine::CommandLine()
    : m_helpOption({QStringLiteral("h"), QStringLiteral("help")}, QString::fromUtf8(C::kHelp)),
      m_versionOption({QStringLiteral("v"), QStringLiteral("version")},
                      QString::fromUtf8(C::kVersion)) {
    // Not the parser's own help and version options: they would offer the toolkit's options
    // too, which help nobody here.
    m_parser.addOption(m_helpOption);
    m_parser.addOption(m_versionOption);
    m_parser.setApplicationDescription(QString::fromUtf8(C::kDescription));
    for (const C::Call& call : C::kCalls)
        m_parser.addOption(QCommandLineOption(QString::fromLatin1(call.option),
                                              QString::fromUtf8(call.description)));
    m_parser.addOption(QCommandLineOption(QString::fromLatin1(C::kStatusOption),
                                          QString::fromUtf8(C::kStatusDescription)));
}

bool CommandLine::parse(const QStringList& arguments) {
    m_request = Request::Run;
    m_method.clear();
    m_error.clear();
    if (!m_parser.parse(arguments)) {
        m_error = m_parser.errorText();
        return false;
    }
    if (m_parser.isSet(m_helpOption)) {
        m_request = Request::Help;
        return true;
    }
    if (m_parser.isSet(m_versionOption)) {
        m_request = Request::Version;
        return true;
    }
    if (!m_parser.positionalArguments().isEmpty()) {
        m_error = QString::fromUtf8(C::kNoArguments)
                      .arg(m_parser.positionalArguments().join(QLatin1Char(' ')));
        return false;
    }
    int requests = 0;
    for (const C::Call& call : C::kCalls) {
        if (m_parser.isSet(QString::fromLatin1(call.option))) {
            ++requests;
            m_request = Request::Call;
            m_method = QString::fromLatin1(call.method);
        }
    }
    if (m_parser.isSet(QString::fromLatin1(C::kStatusOption))) {
        ++requests;
        m_request = Request::Status;
    }
    if (requests > 1) {
        m_request = Request::Run;
        m_error = QString::fromUtf8(C::kOneRequest);
        return false;
    }
    return true;
}

QString CommandLine::helpText() const {
    QString text = m_parser.helpText();
    // The usage line names the program as it was started, often with its folder.
    const QString invoked = QCoreApplication::arguments().value(0);
    const QString usage = QStringLiteral("Usage: ");
    if (!invoked.isEmpty() && text.startsWith(usage + invoked))
        text.replace(usage.size(), invoked.size(), QFileInfo(invoked).fileName());
    return text;
}
