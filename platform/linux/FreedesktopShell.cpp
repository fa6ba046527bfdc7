#include "platform/linux/FreedesktopShell.h"

#include "platform/FileName.h"
#include "platform/LogCategories.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <unistd.h>

namespace {

// Runs `onError` with the error's text when the call fails; the watcher ends with the call.
void whenFailed(const QDBusPendingCall& call, std::function<void(const QString&)> onError) {
    auto* watcher = new QDBusPendingCallWatcher(call);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [onError = std::move(onError)](QDBusPendingCallWatcher* finished) {
                         if (finished->isError())
                             onError(finished->error().message());
                         finished->deleteLater();
                     });
}

} // namespace

FreedesktopShell::FreedesktopShell(QDBusConnection bus, bool sandboxed, UrlOpener openUrl)
    : m_bus(std::move(bus)), m_sandboxed(sandboxed), m_openUrl(std::move(openUrl)) {
    if (!m_openUrl)
        m_openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
}

bool FreedesktopShell::runsSandboxed() {
    return QFileInfo::exists(QStringLiteral("/.flatpak-info")) || qEnvironmentVariableIsSet("SNAP");
}

void FreedesktopShell::openFile(const QString& path) {
    if (m_sandboxed) {
        openThroughPortal(path);
        return;
    }
    if (!m_openUrl(QUrl::fromLocalFile(path)))
        qCWarning(lcPlatform).noquote() << "No program opens" << path;
}

void FreedesktopShell::openThroughPortal(const QString& path) {
    // The portal takes the open file itself: a path inside the sandbox means nothing outside.
    const int fd = ::open(FileName::toNative(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        qCWarning(lcPlatform).noquote() << "Cannot open" << path << "for the portal";
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.portal.Desktop"),
        QStringLiteral("/org/freedesktop/portal/desktop"),
        QStringLiteral("org.freedesktop.portal.OpenURI"), QStringLiteral("OpenFile"));
    call << QString() << QVariant::fromValue(QDBusUnixFileDescriptor(fd)) << QVariantMap();
    ::close(fd); // the message holds a duplicate
    whenFailed(m_bus.asyncCall(call), [path](const QString& error) {
        qCWarning(lcPlatform).noquote() << "The portal does not open" << path << ":" << error;
    });
}

void FreedesktopShell::showInFolder(const QString& path) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded)} << QString();
    const QUrl folder = QUrl::fromLocalFile(QFileInfo(path).absolutePath());
    // No file manager that selects files (or none at all): the folder at least.
    whenFailed(m_bus.asyncCall(call), [openUrl = m_openUrl, folder](const QString&) {
        if (!openUrl(folder))
            qCWarning(lcPlatform).noquote()
                << "No program opens the folder" << folder.toLocalFile();
    });
}

bool FreedesktopShell::moveToTrash(const QString& path, QString* whyNot) {
    QFile file(path);
    if (file.moveToTrash())
        return true;
    if (whyNot)
        *whyNot = file.errorString();
    return false;
}
