#pragma once

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

// The program's options: none runs the slide show; each of the others asks the running copy
// for one thing (see CommandLineTemplate).
class CommandLine {
public:
    enum class Request { Run, Help, Version, Call, Status };

    CommandLine();

    // False for an unknown option, an argument, or more than one request; errorText() then
    // says which.
    bool parse(const QStringList& arguments);
    Request request() const { return m_request; }
    // The D-Bus method a Call request names.
    QString method() const { return m_method; }
    QString errorText() const { return m_error; }
    // The usage and the options, naming the program by its file name.
    QString helpText() const;

private:
    QCommandLineParser m_parser;
    QCommandLineOption m_helpOption;
    QCommandLineOption m_versionOption;
    Request m_request = Request::Run;
    QString m_method;
    QString m_error;
};
