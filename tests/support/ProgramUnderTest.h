#pragma once

#include "tests/support/Waiting.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>

// The real tessaron program, copied with its converter program into a fresh folder that is also
// its home: its list files (kept beside the program file), profile, data and runtime folders
// all live there.
class ProgramUnderTest {
public:
    ProgramUnderTest();

    QString dir() const { return m_dir.path(); }
    QString programPath() const { return m_program; }
    QString fileListPath() const { return m_dir.filePath(QStringLiteral("tessaron.txt")); }
    QString urlListPath() const { return m_dir.filePath(QStringLiteral("tessaron_Url.txt")); }
    QString profilePath() const;
    QProcessEnvironment& environment() { return m_environment; }

    // From now on the program runs as the unprivileged user `uid` (through setpriv), installed
    // as a user meets it: its folder is not theirs to write, and their home (`userHome()`,
    // with the XDG folders inside) is a folder of its own.
    void runAsUser(unsigned uid);
    QString userHome() const { return m_dir.filePath(QStringLiteral("home")); }

    // Starts a copy of the program with the environment above.
    std::unique_ptr<QProcess> start(const QStringList& arguments = {}) const;

private:
    QTemporaryDir m_dir;
    QString m_program;
    QProcessEnvironment m_environment;
    QStringList m_wrapper;
};
