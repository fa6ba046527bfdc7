#include "app/ProgramRun.h"

#include "app/Favourites.h"
#include "app/HistoryFile.h"
#include "platform/Autostart.h"
#include "platform/ControlChannel.h"
#include "platform/ControlServer.h"
#include "platform/ConverterProcess.h"
#include "platform/DesktopShell.h"
#include "platform/DesktopWallpaper.h"
#include "platform/LockScreenPicture.h"
#include "platform/PowerSourceWatcher.h"
#include "platform/Profile.h"
#include "platform/ScreenLockWatcher.h"
#include "platform/ShortcutResolver.h"
#include "platform/ShutdownSignals.h"
#include "transport/CurlFtpClient.h"
#include "wallpaper/ScreenComposer.h"

#include <QApplication>
#include <QSessionManager>

ProgramRun::ProgramRun(PlatformServices platform)
    : m_platform(std::move(platform)), m_screenWatcher(m_screenInfo),
      m_settingsStore(*m_platform.profile, m_platform.paths.defaultStartPath),
      m_converter(*m_platform.converter), m_ftp(std::make_shared<CurlFtpClient>()),
      // Downloads read the four FTP settings once per call, under the state's lock.
      m_ftpDownloader(
          m_ftp,
          [this] {
              const WallpaperSettings settings = m_state.settings();
              return FtpAccount{settings.FtpServer, settings.FtpLogin, settings.FtpPassword,
                                settings.FtpFolder};
          },
          m_platform.paths.runtimeDir),
      m_applier(*m_platform.desktopWallpaper),
      m_slideShow(m_state, m_tips, changeServices(), m_platform.paths.wallpaperDir,
                  m_platform.paths.dataDir),
      m_previousWallpaper(*m_platform.profile, *m_platform.desktopWallpaper),
      m_previousLockScreen(*m_platform.profile, *m_platform.lockScreen), m_dialogs(dialogHooks()),
      m_trayServices(m_previousWallpaper, m_previousLockScreen, *m_platform.autostart,
                     m_platform.paths.programPath, m_dialogs),
      m_pictures({.state = m_state,
                  .shell = *m_platform.desktopShell,
                  .resolveShortcut =
                      [this](const QString& path) {
                          return m_platform.shortcutResolver->resolveShortcut(path);
                      },
                  .fileListPath = m_platform.paths.fileListPath,
                  .excludedListPath = m_platform.paths.excludedListPath,
                  .changeNow = [this] { m_window.changeNow(); },
                  .listsChanged = [this] { m_dialogs.refreshLists(); }}),
      m_window({.state = m_state,
                .settingsStore = m_settingsStore,
                .paths = m_platform.paths,
                .tips = m_tips,
                .slideShow = m_slideShow,
                .services = m_trayServices,
                .pictures = m_pictures}),
      m_control(m_window, m_screenInfo, m_pictures) {}

ProgramRun::~ProgramRun() = default;

// The services each change calls; hooks left empty make the changes that need them do nothing.
ChangeServices ProgramRun::changeServices() {
    ChangeServices services;
    services.convert = [this](const QString& picture, const QString& bitmap,
                              const WallpaperLayout& layout, const ScreenMetrics& screen) {
        return m_converter.ConvertPicture(picture, bitmap, layout, screen);
    };
    services.abortConversion = [this] { m_converter.abort(); };
    services.screens = [this] { return m_screenInfo.screens(); };
    services.downloadFtpFile = [this](const QString& remoteName) {
        return m_ftpDownloader.DownloadFtpFile(remoteName);
    };
    services.closeFtpSession = [this] { m_ftpDownloader.CloseFtpSession(); };
    services.abortDownload = [this] { m_ftpDownloader.abort(); };
    services.apply = [this](const QString& bitmap, std::int32_t layout) {
        m_applier.ApplyWallpaper(bitmap, layout);
    };
    // A desktop that takes one picture for the whole desktop gets the screens' pictures put
    // together; the others get one per screen.
    if (m_applier.takesEachScreen()) {
        services.applyEach = [this](const std::vector<ScreenBitmap>& bitmaps, std::int32_t layout) {
            m_applier.ApplyEachScreen(bitmaps, layout);
        };
    } else {
        services.compose = &ScreenComposer::compose;
        services.applySpanned = [this](const QString& bitmap) { m_applier.ApplySpanned(bitmap); };
    }
    services.resolveShortcut = [this](const QString& path) {
        return m_platform.shortcutResolver->resolveShortcut(path);
    };
    services.changed = [this](const std::vector<ShownPicture>& pictures) { changed(pictures); };
    return services;
}

void ProgramRun::changed(const std::vector<ShownPicture>& pictures) {
    const auto [settings, history] = m_state.read(
        [](const SlideShowState::Data& d) { return std::pair(d.settings, d.history); });
    // Written at each change, so that it survives the program's end of any kind.
    HistoryFile::save(HistoryFile::pathIn(m_platform.paths.dataDir), history);
    if (settings.ShowOnLockScreen != 0) {
        // One picture for every screen is every screen's picture.
        std::vector<ScreenBitmap> screens;
        for (const ScreenMetrics& screen : m_screenInfo.screens())
            for (const ShownPicture& picture : pictures)
                if (pictures.size() == 1 || picture.screen == screen.name)
                    screens.push_back({screen, picture.screenBitmap});
        if (screens.empty())
            screens.push_back({ScreenMetrics{}, pictures.front().screenBitmap});
        m_previousLockScreen.show(screens);
    }
    if (!settings.ChangeCommand.isEmpty())
        QMetaObject::invokeMethod(
            &m_changeCommand,
            [this, command = settings.ChangeCommand, pictures] {
                m_changeCommand.run(command, pictures);
            },
            Qt::QueuedConnection);
}

DialogRunner::Hooks ProgramRun::dialogHooks() {
    // The dialogs run only once the window exists.
    return {.state = m_state,
            .appName = m_platform.paths.appName,
            .changeNow = [this] { m_window.changeNow(); },
            .ftp = m_ftp,
            .defaultFavourites = Favourites::defaultFolder()};
}

void ProgramRun::start(QApplication& application, ShutdownSignals& shutdownSignals) {
    QObject::connect(&shutdownSignals, &ShutdownSignals::terminationRequested, &m_window,
                     &TrayWindow::endSession);
    // With a picture per screen, or one made to a screen's size, no screen keeps a picture
    // made for a layout that is gone.
    QObject::connect(&m_screenWatcher, &ScreenWatcher::screensChanged, &m_window, [this] {
        const WallpaperSettings settings = m_state.settings();
        if (settings.EachScreen != 0 || settings.wallpaperLayout().bitmapBound({}).exact)
            m_window.changeNow();
    });
    // A save request also comes without a log-out (a checkpoint): save and keep running. The
    // real end of the session quits the application.
    QObject::connect(&application, &QGuiApplication::commitDataRequest, &m_window,
                     [this](QSessionManager&) { m_window.saveSession(); });
    QObject::connect(&application, &QCoreApplication::aboutToQuit, &m_window,
                     &TrayWindow::endSession);
    QObject::connect(&m_window, &TrayWindow::ended, &application, &QCoreApplication::quit,
                     Qt::QueuedConnection);

    // Nobody sees a locked screen, and the battery may matter more: the window pauses the
    // timer for them as the settings say.
    QObject::connect(m_platform.screenLock.get(), &ScreenLockWatcher::lockedChanged, &m_window,
                     &TrayWindow::setScreenLocked);
    QObject::connect(m_platform.powerSource.get(), &PowerSourceWatcher::onBatteryChanged, &m_window,
                     &TrayWindow::setOnBattery);
    m_platform.screenLock->start();
    m_platform.powerSource->start();

    m_controlServer = ControlChannel::server();
    m_controlServer->publish(m_control);
}
