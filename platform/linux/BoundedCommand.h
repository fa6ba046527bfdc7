#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Runs a program without a shell and waits at most a given time. Safe on any thread (no event
// loop needed).
class BoundedCommand {
public:
    // Output beyond this is read and dropped, so that a chatty program never blocks on its pipe.
    static constexpr qsizetype kOutputLimit = 1 << 20;

    // The program's exit status, or -1 when it could not start, was killed by a signal, or
    // ran past `timeoutMs` (then it is killed). Its standard output goes to `output` when
    // given (up to kOutputLimit bytes), and is discarded otherwise.
    static int run(const QString& program, const QStringList& arguments, int timeoutMs,
                   QByteArray* output = nullptr);
};
