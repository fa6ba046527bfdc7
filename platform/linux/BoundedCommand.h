#pragma once

#include <QString>
#include <QStringList>

// Runs a program without a shell, its output discarded, and waits at most a given time. Safe
// on any thread (no event loop needed).
class BoundedCommand {
public:
    // The program's exit status, or -1 when it could not start, was killed by a signal, or
    // ran past `timeoutMs` (then it is killed).
    static int run(const QString& program, const QStringList& arguments, int timeoutMs);
};
