#include "platform/linux/XdgAutostart.h"

#include "platform/LogCategories.h"
#include "platform/RegularFile.h"
#include "resources/AppTexts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

XdgAutostart::XdgAutostart(QString autostartDir) : m_dir(std::move(autostartDir)) {}

QString XdgAutostart::entryPath() const {
    return m_dir + QLatin1Char('/') + QString::fromLatin1(AppTexts::kAutostartEntryName);
}

QString XdgAutostart::execValue(const QString& programPath) {
    // Inside double quotes, ", `, $ and \ take a backslash; then the entry format's own
    // escapes apply to the whole value (\ doubled again), and % is written %% so that it is
    // not read as a field code.
    QString quoted;
    for (const QChar c : programPath) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    QString value(QLatin1Char('"'));
    for (const QChar c : std::as_const(quoted)) {
        if (c == u'\\')
            value += QStringLiteral("\\\\");
        else if (c == u'%')
            value += QStringLiteral("%%");
        else if (c == u'\n')
            value += QStringLiteral("\\n");
        else if (c == u'\t')
            value += QStringLiteral("\\t");
        else if (c == u'\r')
            value += QStringLiteral("\\r");
        else
            value += c;
    }
    value += QLatin1Char('"');
    return value;
}

void XdgAutostart::enable(const QString& programPath) {
    if (!QDir().mkpath(m_dir))
        return;
    const QString text =
        QStringLiteral("[Desktop Entry]\n"
                       "Type=Application\n"
                       "Name=%1\n"
                       "Comment=%2\n"
                       "Exec=%3\n")
            .arg(QString::fromLatin1(AppTexts::kAppName),
                 QString::fromLatin1(AppTexts::kAutostartDescription), execValue(programPath));
    // Written whole or not at all (a full disk), never through a link at the entry's name.
    QString error;
    if (!RegularFile::replace(entryPath(), text.toUtf8(), {}, &error))
        qCWarning(lcPlatform).noquote() << "could not write" << entryPath() << ":" << error;
}

void XdgAutostart::disable() {
    const QString path = entryPath();
    if (QFileInfo::exists(path) || QFileInfo(path).isSymLink())
        QFile::remove(path);
}
