#include "app/ControlAdaptor.h"

#include "app/PictureActions.h"
#include "app/TrayWindow.h"
#include "platform/FileName.h"
#include "platform/LogCategories.h"
#include "platform/ScreenInfo.h"
#include "resources/CommandLineTemplate.h"
#include "worker/WallpaperSettings.h"

#include <QDBusConnectionInterface>
#include <string_view>

static_assert(std::string_view(CommandLineTemplate::kBusName) == "example.halvik.Tessaron",
              "the interface is named like the bus name");

ControlAdaptor::ControlAdaptor(TrayWindow& window, const ScreenInfo& screens,
                               PictureActions& pictures)
    : QDBusAbstractAdaptor(&window), m_window(window), m_screens(screens), m_pictures(pictures) {}

bool ControlAdaptor::publish(QDBusConnection bus) {
    m_bus = bus;
    const QString name = QString::fromLatin1(CommandLineTemplate::kBusName);
    if (!bus.isConnected()) {
        qCWarning(lcApp).noquote()
            << "No session bus, so no command line or D-Bus control:" << bus.lastError().message();
        return false;
    }
    if (!bus.registerObject(QString::fromLatin1(CommandLineTemplate::kObjectPath), &m_window,
                            QDBusConnection::ExportAdaptors)) {
        qCWarning(lcApp).noquote()
            << "Cannot export the D-Bus control interface:" << bus.lastError().message();
        return false;
    }
    // The single-instance lock is held, so no other copy of this session owns the name; one
    // of another session sharing the bus keeps it.
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
        bus.interface()->registerService(name, QDBusConnectionInterface::DontQueueService,
                                         QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        qCWarning(lcApp).noquote()
            << "Cannot take the D-Bus name" << name
            << (reply.isValid() ? QStringLiteral("(owned by another program)")
                                : reply.error().message());
        bus.unregisterObject(QString::fromLatin1(CommandLineTemplate::kObjectPath));
        return false;
    }
    return true;
}

bool ControlAdaptor::suspended() const {
    return m_window.suspended();
}

QStringList ControlAdaptor::pausedBy() const {
    const TrayWindow::PauseReasons reasons = m_window.status().pausedBy;
    QStringList names;
    if (reasons.screenLocked)
        names << QStringLiteral("screen-locked");
    if (reasons.onBattery)
        names << QStringLiteral("on-battery");
    return names;
}

QString ControlAdaptor::sourceMode() const {
    switch (static_cast<SourceMode>(m_window.status().sourceMode)) {
    case SourceMode::ScanFolder:
        return QStringLiteral("scan-folder");
    case SourceMode::FileList:
        return QStringLiteral("file-list");
    case SourceMode::FtpList:
        return QStringLiteral("ftp-list");
    }
    return QStringLiteral("unknown");
}

QString ControlAdaptor::currentPicture() const {
    // D-Bus carries valid text only; a name's bytes that are not UTF-8 show as replacements.
    return FileName::withRawBytesAs(m_window.status().currentPicture);
}

uint ControlAdaptor::secondsToNextChange() const {
    return m_window.status().secondsToNextChange;
}

QStringList ControlAdaptor::screens() const {
    QStringList screens;
    for (const ScreenMetrics& metrics : m_screens.screens()) {
        const QRect area = metrics.workArea;
        QString text = QStringLiteral("%1x%2+%3+%4, work area %5x%6+%7+%8")
                           .arg(metrics.screen.width())
                           .arg(metrics.screen.height())
                           .arg(metrics.origin.x())
                           .arg(metrics.origin.y())
                           .arg(area.width())
                           .arg(area.height())
                           .arg(area.x())
                           .arg(area.y());
        if (!metrics.name.isEmpty())
            text.prepend(metrics.name + QStringLiteral(" "));
        screens << text;
    }
    return screens;
}

uint ControlAdaptor::history() const {
    return static_cast<uint>(m_pictures.historyBack());
}

QString ControlAdaptor::favourites() const {
    return FileName::withRawBytesAs(m_pictures.favouritesFolder());
}

void ControlAdaptor::answer(const QDBusMessage& message, const QString& whyNot) {
    if (whyNot.isEmpty())
        return;
    message.setDelayedReply(true);
    m_bus.send(message.createErrorReply(QString::fromLatin1(CommandLineTemplate::kNotApplicable),
                                        FileName::withRawBytesAs(whyNot)));
}

void ControlAdaptor::Previous(const QDBusMessage& message) {
    answer(message, m_pictures.previous());
}

void ControlAdaptor::Open(const QDBusMessage& message) {
    answer(message, m_pictures.open());
}

void ControlAdaptor::ShowInFolder(const QDBusMessage& message) {
    answer(message, m_pictures.showInFolder());
}

void ControlAdaptor::Favourite(const QDBusMessage& message) {
    answer(message, m_pictures.favourite());
}

void ControlAdaptor::Trash(const QDBusMessage& message) {
    answer(message, m_pictures.trash());
}

void ControlAdaptor::NeverAgain(const QDBusMessage& message) {
    answer(message, m_pictures.neverAgain());
}

void ControlAdaptor::Next() {
    m_window.changeNow();
}

void ControlAdaptor::Pause() {
    m_window.setSuspended(true);
}

void ControlAdaptor::Resume() {
    m_window.setSuspended(false);
}

void ControlAdaptor::TogglePause() {
    m_window.toggleSuspend();
}

void ControlAdaptor::ShowProperties() {
    m_window.showProperties();
}

void ControlAdaptor::ShowAbout() {
    m_window.showAbout();
}

void ControlAdaptor::Quit() {
    // Saving and stopping the worker take a while: the caller has its answer first.
    QMetaObject::invokeMethod(&m_window, &TrayWindow::endSession, Qt::QueuedConnection);
}
