#pragma once

#include "platform/DesktopShell.h"
#include "platform/LockScreenPicture.h"

// What a system offers when it has no shell or lock screen that the program can reach: nothing
// opens, nothing goes to a trash, and the lock screen keeps its own picture.
class NoDesktopShell final : public DesktopShell {
public:
    void openFile(const QString&) override {}
    void showInFolder(const QString&) override {}
    bool moveToTrash(const QString&, QString* whyNot) override {
        if (whyNot)
            *whyNot = QStringLiteral("there is no trash on this system");
        return false;
    }
};

class NoLockScreen final : public LockScreenPicture {
public:
    std::optional<QString> read() override { return std::nullopt; }
    void show(const std::vector<ScreenBitmap>&) override {}
    bool restore(const QString&) override { return true; }
};
