#include "app/ChangeCommand.h"

#include "platform/LogCategories.h"

#include <QProcess>
#include <QTimer>

namespace {

// Splits as a shell splits words; nothing for an open quote.
std::optional<QStringList> splitWords(const QString& text) {
    QStringList words;
    QString word;
    bool inWord = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\'') {
            const qsizetype end = text.indexOf(c, i + 1);
            if (end < 0)
                return std::nullopt;
            word += text.mid(i + 1, end - i - 1);
            inWord = true;
            i = end;
        } else if (c == u'"') {
            // Inside "...", a backslash escapes only these characters.
            for (++i; i < text.size() && text[i] != u'"'; ++i) {
                if (text[i] == u'\\' && i + 1 < text.size() &&
                    QStringLiteral("\\\"$`").contains(text[i + 1]))
                    ++i;
                word += text[i];
            }
            if (i >= text.size())
                return std::nullopt;
            inWord = true;
        } else if (c == u'\\' && i + 1 < text.size()) {
            word += text[++i];
            inWord = true;
        } else if (c.isSpace()) {
            if (inWord)
                words << word;
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words << word;
    return words;
}

QString substitute(const QString& word, const ShownPicture& picture) {
    QString out;
    for (qsizetype i = 0; i < word.size(); ++i) {
        const QChar next = i + 1 < word.size() ? word[i + 1] : QChar();
        if (word[i] != u'%' || !QStringLiteral("fbs%").contains(next)) {
            out += word[i];
            continue;
        }
        out += next == u'f'   ? picture.file
               : next == u'b' ? picture.bitmap
               : next == u's' ? picture.screen
                              : QStringLiteral("%");
        ++i;
    }
    return out;
}

} // namespace

ChangeCommand::ChangeCommand(std::chrono::milliseconds bound, QObject* parent)
    : QObject(parent), m_bound(bound) {}

ChangeCommand::~ChangeCommand() {
    // Nothing of the program outlives it.
    for (QProcess* process : findChildren<QProcess*>()) {
        process->disconnect(this);
        process->kill();
        process->waitForFinished(1000);
    }
}

std::optional<QStringList> ChangeCommand::arguments(const QString& command,
                                                    const ShownPicture& picture) {
    std::optional<QStringList> words = splitWords(command);
    if (!words || words->isEmpty())
        return std::nullopt;
    for (QString& word : *words)
        word = substitute(word, picture);
    return words;
}

int ChangeCommand::running() const {
    return static_cast<int>(findChildren<QProcess*>().size());
}

void ChangeCommand::run(const QString& command, const std::vector<ShownPicture>& pictures) {
    for (const ShownPicture& picture : pictures) {
        std::optional<QStringList> words = arguments(command, picture);
        if (!words) {
            failed(command, QStringLiteral("it has an open quote"));
            return;
        }
        auto* process = new QProcess(this);
        process->setStandardOutputFile(QProcess::nullDevice());
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        auto* bound = new QTimer(process);
        bound->setSingleShot(true);
        connect(bound, &QTimer::timeout, process, [this, process, command] {
            failed(command,
                   QStringLiteral("it ran longer than %1 ms and was ended").arg(m_bound.count()));
            process->disconnect(this);
            process->kill();
        });
        connect(process, &QProcess::finished, this,
                [this, process, command](int status, QProcess::ExitStatus how) {
                    if (how == QProcess::NormalExit && status == 0 && m_failedCommand == command)
                        m_failedCommand.clear();
                    else if (how != QProcess::NormalExit || status != 0)
                        failed(command, QStringLiteral("it ended with status %1").arg(status));
                });
        connect(process, &QProcess::errorOccurred, this,
                [this, process, command](QProcess::ProcessError error) {
                    if (error == QProcess::FailedToStart)
                        failed(command, process->errorString());
                });
        // Deleted once ended, however it ended.
        connect(process, &QProcess::finished, process, &QObject::deleteLater);
        connect(process, &QProcess::errorOccurred, process, [process](QProcess::ProcessError e) {
            if (e == QProcess::FailedToStart)
                process->deleteLater();
        });
        const QString program = words->takeFirst();
        bound->start(m_bound);
        process->start(program, *words);
    }
}

void ChangeCommand::failed(const QString& command, const QString& why) {
    if (m_failedCommand == command)
        return;
    m_failedCommand = command;
    qCWarning(lcApp).noquote()
        << QStringLiteral("The command after the change, %1, failed: %2").arg(command, why);
}
