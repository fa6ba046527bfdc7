#include "tests/support/ProgramUnderTest.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

ProgramUnderTest::ProgramUnderTest()
    : m_program(m_dir.filePath(QStringLiteral("tessaron"))),
      m_environment(QProcessEnvironment::systemEnvironment()) {
    QFile::copy(QStringLiteral(TESSARON_BINARY), m_program);
    // The converter program lies beside the program, as in a build tree.
    QFile::copy(QStringLiteral(TESSARON_CONVERTER),
                m_dir.filePath(QStringLiteral("tessaron-convert")));
    const QString root = m_dir.path();
    for (const auto& [name, relative] :
         {std::pair{"HOME", ""}, std::pair{"XDG_CONFIG_HOME", "/.config"},
          std::pair{"XDG_DATA_HOME", "/.local/share"}, std::pair{"XDG_RUNTIME_DIR", "/run"}}) {
        const QString folder = root + QString::fromLatin1(relative);
        QDir().mkpath(folder);
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        m_environment.insert(QString::fromLatin1(name), folder);
    }
}

QString ProgramUnderTest::profilePath() const {
    return m_dir.filePath(QStringLiteral(".config/Halvik/tessaron.ini"));
}

void ProgramUnderTest::runAsUser(unsigned uid) {
    const QString home = userHome();
    for (const auto& [name, relative] :
         {std::pair{"HOME", ""}, std::pair{"XDG_CONFIG_HOME", "/.config"},
          std::pair{"XDG_DATA_HOME", "/.local/share"}, std::pair{"XDG_RUNTIME_DIR", "/run"}}) {
        const QString folder = home + QString::fromLatin1(relative);
        QDir().mkpath(folder);
        ::chown(QFile::encodeName(folder).constData(), uid, uid);
        ::chmod(QFile::encodeName(folder).constData(), 0700);
        m_environment.insert(QString::fromLatin1(name), folder);
    }
    // The program's folder: readable and searchable by everyone, writable only by root.
    ::chmod(QFile::encodeName(m_dir.path()).constData(), 0755);
    const QString id = QString::number(uid);
    m_wrapper = {QStringLiteral("setpriv"), QStringLiteral("--reuid=") + id,
                 QStringLiteral("--regid=") + id, QStringLiteral("--clear-groups")};
}

std::unique_ptr<QProcess> ProgramUnderTest::start(const QStringList& arguments) const {
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(m_environment);
    process->setWorkingDirectory(m_dir.path());
    if (m_wrapper.isEmpty())
        process->start(m_program, arguments);
    else
        process->start(m_wrapper.first(), m_wrapper.mid(1) + QStringList{m_program} + arguments);
    process->waitForStarted();
    return process;
}
