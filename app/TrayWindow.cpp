#include "app/TrayWindow.h"

#include "app/HistoryFile.h"
#include "app/ListFile.h"
#include "app/PictureMenu.h"
#include "app/SettingsStore.h"
#include "app/TrayServices.h"
#include "platform/AppPaths.h"
#include "platform/LogCategories.h"
#include "platform/PrintableText.h"
#include "platform/TrayHost.h"
#include "resources/AppTexts.h"
#include "resources/TrayMenuTemplate.h"
#include "worker/SlideShowControl.h"
#include "worker/SlideShowState.h"
#include "worker/TipChannel.h"

#include <QCloseEvent>
#include <QIcon>
#include <QMenu>
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
    m_context.services.storeOldWallpaper();
    m_context.state.setSettings(m_context.settingsStore.load());
    m_context.services.updateLockScreen(m_context.state.settings().ShowOnLockScreen != 0);

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
    m_context.state.modify([this](SlideShowState::Data& d) {
        d.excludedList = ListFile::load(m_context.paths.excludedListPath);
        d.excludedChanged();
        d.history = HistoryFile::load(HistoryFile::pathIn(m_context.paths.dataDir));
    });
    m_context.state.setLists(ListFile::load(m_context.paths.fileListPath),
                             ListFile::load(m_context.paths.urlListPath));
    m_context.slideShow.start();
}

TrayWindow::~TrayWindow() {
    m_context.tips.close();
    if (!m_ended)
        m_context.slideShow.stop(kWorkerStopBound);
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
        default: // the picture's entries: PictureMenu's
            break;
        }
    }
    m_pictureMenu = new PictureMenu(*m_menu, m_context.pictures, this);
    connect(m_menu, &QMenu::aboutToShow, this, [this] {
        m_suspendAction->setChecked(m_pacer.suspended());
        m_pictureMenu->refresh();
    });

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
    const WallpaperSettings settings = m_context.state.settings();
    if (m_pacer.tick(settings.intervalSeconds(), pauseReasons(settings).any()))
        m_context.slideShow.requestChange();
}

TrayWindow::PauseReasons TrayWindow::pauseReasons(const WallpaperSettings& settings) const {
    return {.screenLocked = m_screenLocked && settings.PauseWhenLocked != 0,
            .onBattery = m_onBattery && settings.PauseOnBattery != 0};
}

TrayWindow::Status TrayWindow::status() const {
    const auto [settings, currentPicture] = m_context.state.read(
        [](const SlideShowState::Data& d) { return std::pair(d.settings, d.currentPicture); });
    return {.suspended = m_pacer.suspended(),
            .pausedBy = pauseReasons(settings),
            .sourceMode = settings.UseFileList,
            .currentPicture = currentPicture,
            .secondsToNextChange = m_pacer.ticksLeft(settings.intervalSeconds())};
}

void TrayWindow::changeNow() {
    m_context.slideShow.requestChange();
    m_pacer.changeNow();
}

void TrayWindow::toggleSuspend() {
    setSuspended(!m_pacer.suspended());
}

void TrayWindow::setSuspended(bool suspended) {
    m_pacer.setSuspended(suspended);
    if (m_suspendAction)
        m_suspendAction->setChecked(suspended);
}

void TrayWindow::applyTip(const QString& text) {
    if (m_ended)
        return;
    // One line whatever the picture's name holds.
    m_tip = cutTip(PrintableText::escaped(text));
    if (m_trayIcon)
        m_trayIcon->setToolTip(m_tip);
    // A tip follows every change: the menu names the picture it brought.
    if (m_pictureMenu)
        m_pictureMenu->refresh();
}

void TrayWindow::showProperties() {
    if (m_ended)
        return;
    if (m_propertiesOpen) {
        m_context.services.raiseModalDialog();
        return;
    }
    m_propertiesOpen = true;
    QMetaObject::invokeMethod(this, &TrayWindow::runProperties, Qt::QueuedConnection);
}

void TrayWindow::runProperties() {
    if (m_ended) {
        m_propertiesOpen = false;
        return;
    }
    ++m_modalDepth;
    const auto accepted = m_context.services.runProperties(
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
    if (m_ended)
        return;
    if (m_aboutOpen) {
        m_context.services.raiseModalDialog();
        return;
    }
    m_aboutOpen = true;
    QMetaObject::invokeMethod(this, &TrayWindow::runAbout, Qt::QueuedConnection);
}

void TrayWindow::runAbout() {
    if (!m_ended) {
        ++m_modalDepth;
        m_context.services.runAbout();
        --m_modalDepth;
    }
    m_aboutOpen = false;
    if (m_exitPending)
        exitProgram();
}

void TrayWindow::apply(const WallpaperSettings& values) {
    bool startPathChanged = false;
    const WallpaperSettings applied = m_context.state.modify([&](SlideShowState::Data& shared) {
        WallpaperSettings& s = shared.settings;
        // Compared exactly: a change of letter case alone is a new folder.
        startPathChanged = s.StartPath != values.StartPath;
        SettingsTable::copyEdited(values, s);
        // A new folder starts at its first picture, or a new round of its own; the old
        // folder's position and round mean nothing there.
        if (startPathChanged) {
            s.CurScanFolderPos = 0;
            s.ShuffleScanLast.clear();
        }
        return s;
    });
    if (startPathChanged)
        m_context.slideShow.restart();
    m_context.services.updateAutorun(applied.AutoRun != 0);
    m_context.services.updateLockScreen(applied.ShowOnLockScreen != 0);
    saveAll();
}

void TrayWindow::saveAll() {
    const auto [settings, fileList, urlList, excludedList] =
        m_context.state.read([](const SlideShowState::Data& d) {
            return std::tuple(d.settings, d.fileList, d.urlList, d.excludedList);
        });
    m_context.settingsStore.saveAll(settings);
    if (!ListFile::save(m_context.paths.fileListPath, fileList))
        qCWarning(lcApp) << "could not save the file list" << m_context.paths.fileListPath;
    if (!ListFile::save(m_context.paths.urlListPath, urlList))
        qCWarning(lcApp) << "could not save the URL list" << m_context.paths.urlListPath;
    if (!ListFile::save(m_context.paths.excludedListPath, excludedList))
        qCWarning(lcApp) << "could not save the exclusion list" << m_context.paths.excludedListPath;
}

void TrayWindow::saveSession() {
    if (m_ended)
        return;
    apply(m_context.state.settings());
}

void TrayWindow::exitProgram() {
    if (m_ended)
        return;
    // Exit chosen from the menu while a dialog runs: end the dialog as cancelled; its handler
    // comes back here once the dialog has returned.
    if (m_modalDepth > 0) {
        m_exitPending = true;
        m_context.services.cancelModalDialog();
        return;
    }
    onDestroy(true);
}

void TrayWindow::endSession() {
    if (m_ended)
        return;
    onDestroy(false);
}

void TrayWindow::onDestroy(bool askRestore) {
    m_ended = true;
    m_context.tips.close();
    // The worker ends first: no change may follow the save, the list being emptied or the
    // restore, and the positions saved are the ones it left.
    m_context.slideShow.stop(kWorkerStopBound);
    // Exit's Apply with the current values: refreshes autostart and saves everything.
    apply(m_context.state.settings());

    const auto [position, fileList] = m_context.state.read([](const SlideShowState::Data& d) {
        return std::pair(d.settings.CurFileListPos, d.fileList);
    });
    m_context.settingsStore.saveFileListPos(position);
    if (!ListFile::saveOverStart(m_context.paths.fileListPath, fileList))
        qCWarning(lcApp) << "could not save the file list" << m_context.paths.fileListPath;
    m_context.state.modify([](SlideShowState::Data& d) { d.fileList.clear(); });

    m_timer.stop();
    if (askRestore && m_context.services.askRestoreOldWallpaper())
        m_context.services.restoreOldWallpaper();
    if (m_trayIcon)
        m_trayIcon->hide();
    emit ended();
}
