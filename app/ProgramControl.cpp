#include "app/ProgramControl.h"

#include "app/PictureActions.h"
#include "app/TrayWindow.h"
#include "platform/FileName.h"
#include "platform/ScreenInfo.h"
#include "worker/WallpaperSettings.h"

namespace {

QString sourceModeName(std::int32_t mode) {
    switch (static_cast<SourceMode>(mode)) {
    case SourceMode::ScanFolder:
        return QStringLiteral("scan-folder");
    case SourceMode::FileList:
        return QStringLiteral("file-list");
    case SourceMode::FtpList:
        return QStringLiteral("ftp-list");
    }
    return QStringLiteral("unknown");
}

} // namespace

ProgramControl::ProgramControl(TrayWindow& window, const ScreenInfo& screens,
                               PictureActions& pictures)
    : m_window(window), m_screens(screens), m_pictures(pictures) {
    const auto done = [](auto action) {
        return [action] {
            action();
            return QString();
        };
    };
    TrayWindow* w = &m_window;
    PictureActions* p = &m_pictures;
    m_actions = {
        {QStringLiteral("Next"), done([w] { w->changeNow(); })},
        {QStringLiteral("Pause"), done([w] { w->setSuspended(true); })},
        {QStringLiteral("Resume"), done([w] { w->setSuspended(false); })},
        {QStringLiteral("TogglePause"), done([w] { w->toggleSuspend(); })},
        {QStringLiteral("ShowProperties"), done([w] { w->showProperties(); })},
        {QStringLiteral("ShowAbout"), done([w] { w->showAbout(); })},
        // Saving and stopping the worker take a while: the caller has its answer first.
        {QStringLiteral("Quit"), done([w] {
             QMetaObject::invokeMethod(w, &TrayWindow::endSession, Qt::QueuedConnection);
         })},
        {QStringLiteral("Previous"), [p] { return p->previous(); }},
        {QStringLiteral("Open"), [p] { return p->open(); }},
        {QStringLiteral("ShowInFolder"), [p] { return p->showInFolder(); }},
        {QStringLiteral("Favourite"), [p] { return p->favourite(); }},
        {QStringLiteral("Trash"), [p] { return p->trash(); }},
        {QStringLiteral("NeverAgain"), [p] { return p->neverAgain(); }},
    };
}

QString ProgramControl::call(const QString& method) {
    const auto action = m_actions.constFind(method);
    if (action == m_actions.constEnd())
        return QStringLiteral("No such request: %1").arg(method);
    // A reason may quote a file name whose bytes are not UTF-8: they show as replacements.
    return FileName::withRawBytesAs((*action)());
}

ControlStatus ProgramControl::status() const {
    const TrayWindow::Status status = m_window.status();
    ControlStatus control;
    control.suspended = m_window.suspended();
    if (status.pausedBy.screenLocked)
        control.pausedBy << QStringLiteral("screen-locked");
    if (status.pausedBy.onBattery)
        control.pausedBy << QStringLiteral("on-battery");
    control.sourceMode = sourceModeName(status.sourceMode);
    control.currentPicture = FileName::withRawBytesAs(status.currentPicture);
    control.secondsToNextChange = status.secondsToNextChange;
    control.screens = screens();
    control.history = static_cast<uint>(m_pictures.historyBack());
    control.favourites = FileName::withRawBytesAs(m_pictures.favouritesFolder());
    return control;
}

QStringList ProgramControl::screens() const {
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
