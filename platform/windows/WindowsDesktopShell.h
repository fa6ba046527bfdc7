#pragma once

#include "platform/DesktopShell.h"

#include <functional>

class QThreadPool;

// The Windows shell. Opening a file (ShellExecuteExW) and showing it in its folder
// (SHOpenFolderAndSelectItems) run on a thread of the shell's own, one after the other, so
// that the caller never waits on a program being started. The Recycle Bin is reached through
// IFileOperation with no dialog; an item the system would delete outright rather than recycle
// (a drive without a Recycle Bin, a file too large for it) is left where it is.
class WindowsDesktopShell final : public DesktopShell {
public:
    WindowsDesktopShell();
    ~WindowsDesktopShell() override;
    WindowsDesktopShell(const WindowsDesktopShell&) = delete;
    WindowsDesktopShell& operator=(const WindowsDesktopShell&) = delete;

    void openFile(const QString& path) override;
    void showInFolder(const QString& path) override;
    bool moveToTrash(const QString& path, QString* whyNot) override;

private:
    // Runs `call` on the shell's thread, in the component library.
    void queue(std::function<void()> call);

    QThreadPool* m_pool;
};
