#pragma once

#include "platform/DesktopShell.h"

#include <QFile>
#include <QStringList>

// The desktop's shell for tests: records what it is asked to open and show ("open PATH",
// "show PATH"), and moves files to the real trash of the test's home.
class RecordingShell : public DesktopShell {
public:
    void openFile(const QString& path) override { calls << QStringLiteral("open ") + path; }
    void showInFolder(const QString& path) override { calls << QStringLiteral("show ") + path; }
    bool moveToTrash(const QString& path, QString* whyNot) override {
        QFile file(path);
        if (file.moveToTrash())
            return true;
        *whyNot = file.errorString();
        return false;
    }

    QStringList calls;
};
