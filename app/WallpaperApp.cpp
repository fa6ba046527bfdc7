#include "app/WallpaperApp.h"

#include "app/ProgramTrayServices.h"
#include "app/SettingsStore.h"
#include "app/TrayWindow.h"
#include "ftp/FtpDownloader.h"
#include "platform/Autostart.h"
#include "platform/DisplayProbe.h"
#include "platform/PlatformServices.h"
#include "platform/Profile.h"
#include "platform/ScreenInfo.h"
#include "platform/ScreenWatcher.h"
#include "platform/ShortcutResolver.h"
#include "platform/ShutdownSignals.h"
#include "platform/SingleInstanceLock.h"
#include "platform/ToolkitStartGuard.h"
#include "resources/AppTexts.h"
#include "ui/DialogRunner.h"
#include "wallpaper/PictureConverter.h"
#include "wallpaper/PreviousWallpaper.h"
#include "wallpaper/WallpaperApplier.h"
#include "worker/ChangeServices.h"
#include "worker/SlideShowState.h"
#include "worker/SlideShowWorker.h"
#include "worker/TipChannel.h"

#include <QApplication>
#include <QSessionManager>

#include <cstdio>

// Resources compiled into a static library are registered by hand (at global scope, where
// the macro declares its initialiser).
static void initResources() {
    Q_INIT_RESOURCE(tessaron);
}

int WallpaperApp::main(int argc, char** argv) {
    DisplayProbe display;
    QString reason;
    if (!display.canOpenDisplay(&reason)) {
        std::fprintf(stderr, "%s (%s)\n", AppTexts::kNoDisplay, qPrintable(reason));
        return 1;
    }

    // A display that goes away between the probe and here ends the same way as no display.
    ToolkitStartGuard guard(AppTexts::kNoDisplay);
    QApplication application(argc, argv);
    guard.finish();
    display.release();
    // First of all: a termination request that comes during the start is answered once the
    // window exists, with the same orderly save as any other.
    ShutdownSignals shutdownSignals;
    initResources();
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setApplicationName(QString::fromLatin1(AppTexts::kAppName));

    // Before any setting, list file or wallpaper is touched, and before the desktop backends
    // are probed and the choice logged: a second copy leaves silently.
    const AppPaths paths = AppPaths::detect(QCoreApplication::applicationFilePath());
    SingleInstanceLock lock(paths.runtimeDir, paths.appName);
    switch (lock.tryLock()) {
    case SingleInstanceLock::Result::Acquired:
        break;
    case SingleInstanceLock::Result::HeldElsewhere:
        return 0;
    case SingleInstanceLock::Result::Unavailable:
        std::fprintf(stderr, "%s\n", AppTexts::kNoLock);
        return 2;
    }

    PlatformServices platform = PlatformServices::create(QCoreApplication::applicationFilePath());

    ScreenInfo screenInfo;
    ScreenWatcher screenWatcher(screenInfo);
    SlideShowState state;
    TipChannel tips;
    SettingsStore settingsStore(*platform.profile, platform.paths.defaultStartPath);

    // The services each change calls; hooks left empty make the changes that need them do
    // nothing.
    PictureConverter converter(*platform.converter);
    ChangeServices changeServices;
    changeServices.convert = [&converter, &screenInfo](const QString& picture,
                                                       const QString& bitmap, std::int32_t layout) {
        return converter.ConvertPicture(picture, bitmap, layout, screenInfo.metrics());
    };
    changeServices.abortConversion = [&converter] { converter.abort(); };
    // Downloads read the four FTP settings once per call, under the state's lock.
    FtpDownloader ftpDownloader(
        platform.ftp,
        [&state] {
            const WallpaperSettings settings = state.settings();
            return FtpAccount{settings.FtpServer, settings.FtpLogin, settings.FtpPassword,
                              settings.FtpFolder};
        },
        platform.paths.runtimeDir);
    changeServices.downloadFtpFile = [&ftpDownloader](const QString& remoteName) {
        return ftpDownloader.DownloadFtpFile(remoteName);
    };
    changeServices.closeFtpSession = [&ftpDownloader] { ftpDownloader.CloseFtpSession(); };
    changeServices.abortDownload = [&ftpDownloader] { ftpDownloader.abort(); };
    WallpaperApplier applier(*platform.desktopWallpaper);
    changeServices.apply = [&applier](const QString& bitmap, std::int32_t layout) {
        applier.ApplyWallpaper(bitmap, layout);
    };
    changeServices.resolveShortcut = [&platform](const QString& path) {
        return platform.shortcutResolver->resolveShortcut(path);
    };
    SlideShowWorker slideShow(state, tips, std::move(changeServices), platform.paths.wallpaperDir,
                              platform.paths.dataDir);
    PreviousWallpaper previousWallpaper(*platform.profile, *platform.desktopWallpaper);

    TrayWindow* trayWindow = nullptr; // set once constructed; the dialogs run only after
    DialogRunner dialogs({.state = state,
                          .appName = platform.paths.appName,
                          .changeNow =
                              [&trayWindow] {
                                  if (trayWindow)
                                      trayWindow->changeNow();
                              },
                          .ftp = platform.ftp});

    ProgramTrayServices trayServices(previousWallpaper, *platform.autostart,
                                     platform.paths.programPath, dialogs);
    TrayWindow window({.state = state,
                       .settingsStore = settingsStore,
                       .paths = platform.paths,
                       .tips = tips,
                       .slideShow = slideShow,
                       .services = trayServices});
    trayWindow = &window;

    QObject::connect(&shutdownSignals, &ShutdownSignals::terminationRequested, &window,
                     &TrayWindow::endSession);
    // A save request also comes without a log-out (a checkpoint): save and keep running. The
    // real end of the session quits the application.
    QObject::connect(&application, &QGuiApplication::commitDataRequest, &window,
                     [&window](QSessionManager&) { window.saveSession(); });
    QObject::connect(&application, &QCoreApplication::aboutToQuit, &window,
                     &TrayWindow::endSession);
    QObject::connect(&window, &TrayWindow::ended, &application, &QCoreApplication::quit,
                     Qt::QueuedConnection);

    return QApplication::exec();
}
