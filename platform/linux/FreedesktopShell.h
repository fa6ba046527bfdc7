#pragma once

#include "platform/DesktopShell.h"

#include <QDBusConnection>
#include <QUrl>
#include <functional>

// The desktop's shell on a freedesktop desktop. Files open in the default program through
// the desktop's own handler (QDesktopServices), or, where the program runs sandboxed (Flatpak,
// Snap), through the OpenURI portal, which hands the open file to a program outside the
// sandbox. The file manager is asked over the session bus (org.freedesktop.FileManager1
// ShowItems); where no file manager answers, the folder is opened instead. The trash is the
// freedesktop trash (QFile::moveToTrash).
class FreedesktopShell final : public DesktopShell {
public:
    using UrlOpener = std::function<bool(const QUrl&)>;

    // `openUrl` opens a file or folder in its default program (QDesktopServices when empty).
    FreedesktopShell(QDBusConnection bus, bool sandboxed, UrlOpener openUrl = {});

    // Whether this process runs inside a Flatpak or Snap sandbox.
    static bool runsSandboxed();

    void openFile(const QString& path) override;
    void showInFolder(const QString& path) override;
    bool moveToTrash(const QString& path, QString* whyNot) override;

private:
    void openThroughPortal(const QString& path);

    QDBusConnection m_bus;
    bool m_sandboxed;
    UrlOpener m_openUrl;
};
