#include "app/TrayWindow.h"

#include "app/ListFile.h"
#include "app/SettingsStore.h"
#include "platform/AppPaths.h"
#include "platform/TrayHost.h"
#include "resources/AppTexts.h"
#include "resources/TrayMenuTemplate.h"
#include "worker/SlideShowControl.h"
#include "worker/SlideShowState.h"
#include "worker/TipChannel.h"

#include <QCloseEvent>
#include <QIcon>
#include <QMenu>
#include <QMessageBox>
#include <QSystemTrayIcon>

#include <cstdio>

namespace {

constexpr std::chrono::milliseconds kWorkerStopBound{10000};

// The tip shows at most 63 characters; a character outside the basic plane is not split.
QString cutTip(const QString& text) {
    const QList<uint> codePoints = text.toUcs4();
    if (codePoints.size() <= AppTexts::kTipMaxChars)
        return text;
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(codePoints.constData()),
                             AppTexts::kTipMaxChars);
}

QIcon programIcon() {
    QIcon icon(QStringLiteral(":/tessaron/icon.svg"));
    icon.addFile(QStringLiteral(":/tessaron/icon-16.png"), QSize(16, 16));
    icon.addFile(QStringLiteral(":/tessaron/icon-32.png"), QSize(32, 32));
    icon.addFile(QStringLiteral(":/tessaron/icon-64.png"), QSize(64, 64));
    return icon;
}

} // namespace

TrayWindow::TrayWindow(Context context, QWidget* parent)
    : QWidget(parent), m_context(std::move(context)) {
    // The previous wallpaper is recorded before anything of ours can change it.
    if (m_context.storeOldWallpaper)
        m_context.storeOldWallpaper();
    m_context.state.setSettings(m_context.settingsStore.load());

    setWindowTitle(QString::fromLatin1(AppTexts::kHiddenWindowTitle));
    setWindowIcon(programIcon());
    resize(AppTexts::kHiddenWindowWidth, AppTexts::kHiddenWindowHeight);
    setAttribute(Qt::WA_QuitOnClose, false);
    // The window exists on the desktop, hidden, as the program's "Hide" window.
    winId();

    m_tip = QString::fromLatin1(AppTexts::kAppName);
    createTrayIcon();
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, &TrayWindow::tick);
    m_timer.start();
    m_context.tips.open([this](const QString& text) {
        QMetaObject::invokeMethod(
            this, [this, text] { applyTip(text); }, Qt::QueuedConnection);
    });

    // The lists are loaded before the worker starts, so its first change reads loaded lists.
    m_context.state.setLists(ListFile::load(m_context.paths.fileListPath),
                             ListFile::load(m_context.paths.urlListPath));
    if (m_context.slideShow)
        m_context.slideShow->start();
}

TrayWindow::~TrayWindow() {
    m_context.tips.close();
    if (!m_ended && m_context.slideShow)
        m_context.slideShow->stop(kWorkerStopBound);
}

void TrayWindow::createTrayIcon() {
    m_menu = new QMenu(this);
    for (const TrayMenuTemplate::Item& item : TrayMenuTemplate::kItems) {
        if (item.command == TrayMenuTemplate::Separator) {
            m_menu->addSeparator();
            continue;
        }
        QAction* action = m_menu->addAction(QString::fromUtf8(item.text));
        action->setData(static_cast<int>(item.command));
        action->setCheckable(item.checkable);
        switch (item.command) {
        case TrayMenuTemplate::Properties:
            connect(action, &QAction::triggered, this, &TrayWindow::showProperties);
            break;
        case TrayMenuTemplate::ChangeNow:
            connect(action, &QAction::triggered, this, &TrayWindow::changeNow);
            break;
        case TrayMenuTemplate::Suspend:
            m_suspendAction = action;
            connect(action, &QAction::triggered, this, &TrayWindow::toggleSuspend);
            break;
        case TrayMenuTemplate::About:
            connect(action, &QAction::triggered, this, &TrayWindow::showAbout);
            break;
        case TrayMenuTemplate::Exit:
            connect(action, &QAction::triggered, this, &TrayWindow::exitProgram);
            break;
        case TrayMenuTemplate::Separator:
            break;
        }
    }
    connect(m_menu, &QMenu::aboutToShow, this,
            [this] { m_suspendAction->setChecked(m_pacer.suspended()); });

    m_trayIcon = new QSystemTrayIcon(programIcon(), this);
    m_trayIcon->setToolTip(m_tip);
    m_trayIcon->setContextMenu(m_menu);
    // A StatusNotifierItem host reports a single activation where others report a
    // double-click; there the activation stands for the double-click.
    const bool singleActivationHost = TrayHost::reportsOnlySingleActivation();
    connect(m_trayIcon, &QSystemTrayIcon::activated, this,
            [this, singleActivationHost](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::DoubleClick ||
                    (singleActivationHost && reason == QSystemTrayIcon::Trigger))
                    showProperties();
            });
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        std::fprintf(stderr, "%s\n", AppTexts::kNoTray);
    m_trayIcon->show();
}

void TrayWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    hide();
}

void TrayWindow::tick() {
    const std::uint32_t interval = m_context.state.settings().intervalSeconds();
    if (m_pacer.tick(interval) && m_context.slideShow)
        m_context.slideShow->requestChange();
}

void TrayWindow::changeNow() {
    if (m_context.slideShow)
        m_context.slideShow->requestChange();
    m_pacer.changeNow();
}

void TrayWindow::toggleSuspend() {
    m_pacer.toggleSuspended();
    if (m_suspendAction)
        m_suspendAction->setChecked(m_pacer.suspended());
}

void TrayWindow::applyTip(const QString& text) {
    if (m_ended)
        return;
    m_tip = cutTip(text);
    if (m_trayIcon)
        m_trayIcon->setToolTip(m_tip);
}

void TrayWindow::showProperties() {
    if (m_propertiesOpen || m_ended || !m_context.runProperties)
        return;
    m_propertiesOpen = true;
    ++m_modalDepth;
    const auto accepted = m_context.runProperties(
        m_context.state.settings(), [this](const WallpaperSettings& values) { apply(values); });
    --m_modalDepth;
    m_propertiesOpen = false;
    if (m_exitPending) {
        exitProgram();
        return;
    }
    if (accepted)
        apply(*accepted);
}

void TrayWindow::showAbout() {
    if (m_ended || !m_context.runAbout)
        return;
    ++m_modalDepth;
    m_context.runAbout();
    --m_modalDepth;
    if (m_exitPending)
        exitProgram();
}

void TrayWindow::apply(const WallpaperSettings& values) {
    bool startPathChanged = false;
    const WallpaperSettings applied = m_context.state.modify([&](SlideShowState::Data& shared) {
        WallpaperSettings& s = shared.settings;
        s.IncludeSubflders = values.IncludeSubflders;
        s.AutoRun = values.AutoRun;
        s.Minute = values.Minute;
        s.Hour = values.Hour;
        s.Layout = values.Layout;
        s.Seconds = values.Seconds;
        s.RunSlideShowCtrl = values.RunSlideShowCtrl;
        s.UseFileList = values.UseFileList;
        s.FtpServer = values.FtpServer;
        s.FtpPassword = values.FtpPassword;
        s.FtpLogin = values.FtpLogin;
        s.FtpFolder = values.FtpFolder;
        // Compared exactly: a change of letter case alone is a new folder.
        if (s.StartPath != values.StartPath) {
            s.StartPath = values.StartPath;
            startPathChanged = true;
        }
        return s;
    });
    if (startPathChanged && m_context.slideShow)
        m_context.slideShow->restart();
    if (m_context.updateAutorun)
        m_context.updateAutorun(applied.AutoRun != 0);

    const auto [settings, fileList, urlList] =
        m_context.state.read([](const SlideShowState::Data& d) {
            return std::tuple(d.settings, d.fileList, d.urlList);
        });
    m_context.settingsStore.saveAll(settings);
    ListFile::save(m_context.paths.fileListPath, fileList);
    ListFile::save(m_context.paths.urlListPath, urlList);
}

void TrayWindow::exitProgram() {
    if (m_ended)
        return;
    // Exit chosen from the menu while a dialog runs: end the dialog as cancelled; its handler
    // comes back here once the dialog has returned.
    if (m_modalDepth > 0) {
        m_exitPending = true;
        if (m_context.cancelModalDialog)
            m_context.cancelModalDialog();
        return;
    }
    apply(m_context.state.settings());
    onDestroy(true);
}

void TrayWindow::endSession() {
    if (m_ended)
        return;
    apply(m_context.state.settings());
    onDestroy(false);
}

void TrayWindow::onDestroy(bool askRestore) {
    m_ended = true;
    m_context.tips.close();
    // The worker ends first: no change may follow the list being emptied or the restore.
    if (m_context.slideShow)
        m_context.slideShow->stop(kWorkerStopBound);

    const auto [position, fileList] = m_context.state.read([](const SlideShowState::Data& d) {
        return std::pair(d.settings.CurFileListPos, d.fileList);
    });
    m_context.settingsStore.saveFileListPos(position);
    ListFile::saveOverStart(m_context.paths.fileListPath, fileList);
    m_context.state.modify([](SlideShowState::Data& d) { d.fileList.clear(); });

    m_timer.stop();
    if (askRestore) {
        const bool yes = m_context.askRestoreOldWallpaper ? m_context.askRestoreOldWallpaper()
                                                          : defaultAskRestore();
        if (yes && m_context.restoreOldWallpaper)
            m_context.restoreOldWallpaper();
    }
    if (m_trayIcon)
        m_trayIcon->hide();
    emit ended();
}

bool TrayWindow::defaultAskRestore() const {
    QMessageBox box(
        QMessageBox::Information, QString::fromLatin1(AppTexts::kRestoreQuestionCaption),
        QString::fromLatin1(AppTexts::kRestoreQuestion), QMessageBox::Yes | QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}
