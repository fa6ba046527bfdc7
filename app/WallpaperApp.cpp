#include "app/WallpaperApp.h"

#include "app/CommandLine.h"
#include "app/ControlAdaptor.h"
#include "app/ControlClient.h"
#include "app/ProgramTrayServices.h"
#include "app/SettingsStore.h"
#include "app/TrayWindow.h"
#include "ftp/FtpDownloader.h"
#include "platform/Autostart.h"
#include "platform/DisplayProbe.h"
#include "platform/PlatformServices.h"
#include "platform/PowerSourceWatcher.h"
#include "platform/Profile.h"
#include "platform/ScreenInfo.h"
#include "platform/ScreenLockWatcher.h"
#include "platform/ScreenWatcher.h"
#include "platform/ShortcutResolver.h"
#include "platform/ShutdownSignals.h"
#include "platform/SingleInstanceLock.h"
#include "platform/ToolkitStartGuard.h"
#include "resources/AppTexts.h"
#include "ui/DialogRunner.h"
#include "wallpaper/PictureConverter.h"
#include "wallpaper/PreviousWallpaper.h"
#include "wallpaper/ScreenComposer.h"
#include "wallpaper/WallpaperApplier.h"
#include "worker/ChangeServices.h"
#include "worker/SlideShowState.h"
#include "worker/SlideShowWorker.h"
#include "worker/TipChannel.h"

#include <QApplication>
#include <QDBusConnection>
#include <QSessionManager>

#include <cstdio>

// Resources compiled into a static library are registered by hand (at global scope, where
// the macro declares its initialiser).
static void initResources() {
    Q_INIT_RESOURCE(tessaron);
}

namespace {

int usageError(const CommandLine& commandLine) {
    std::fprintf(stderr, "tessaron: %s\n\n%s", qPrintable(commandLine.errorText()),
                 qPrintable(commandLine.helpText()));
    return 2;
}

// Everything but Run: help and version, or a request to the running copy.
int answer(const CommandLine& commandLine) {
    switch (commandLine.request()) {
    case CommandLine::Request::Help:
        std::fputs(qPrintable(commandLine.helpText()), stdout);
        return 0;
    case CommandLine::Request::Version:
        // "program version", which is what help2man and packaging tools read.
        std::printf("tessaron %.3f\n", static_cast<double>(AppTexts::kVersionNumber));
        return 0;
    case CommandLine::Request::Status:
        return ControlClient(QDBusConnection::sessionBus()).printStatus();
    case CommandLine::Request::Call:
        return ControlClient(QDBusConnection::sessionBus()).call(commandLine.method());
    case CommandLine::Request::Run:
        break;
    }
    return 0;
}

} // namespace

int WallpaperApp::main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    CommandLine commandLine;
    const bool understood = commandLine.parse(arguments);
    // Help, the version and requests to the running copy need no display.
    if (understood && commandLine.request() != CommandLine::Request::Run) {
        QCoreApplication application(argc, argv);
        return answer(commandLine);
    }

    DisplayProbe display;
    QString reason;
    if (!display.canOpenDisplay(&reason)) {
        if (!understood) {
            QCoreApplication application(argc, argv);
            return usageError(commandLine);
        }
        std::fprintf(stderr, "%s (%s)\n", AppTexts::kNoDisplay, qPrintable(reason));
        return 1;
    }

    // The toolkit starts on the display the probe found: Wayland first on a Wayland session.
    if (!display.toolkitPlatform().isEmpty())
        qputenv("QT_QPA_PLATFORM", display.toolkitPlatform());
    // A display that goes away between the probe and here ends the same way as no display.
    ToolkitStartGuard guard(AppTexts::kNoDisplay);
    QApplication application(argc, argv);
    guard.finish();
    display.release();
    if (!understood) {
        // The toolkit has taken its own options (-platform, -style...) out of the arguments;
        // what is left must be ours.
        if (!commandLine.parse(QCoreApplication::arguments()))
            return usageError(commandLine);
        if (commandLine.request() != CommandLine::Request::Run)
            return answer(commandLine);
    }
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
    changeServices.convert = [&converter](const QString& picture, const QString& bitmap,
                                          std::int32_t layout, const ScreenMetrics& screen) {
        return converter.ConvertPicture(picture, bitmap, layout, screen);
    };
    changeServices.abortConversion = [&converter] { converter.abort(); };
    changeServices.screens = [&screenInfo] { return screenInfo.screens(); };
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
    // A desktop that takes one picture for the whole desktop gets the screens' pictures put
    // together; the others get one per screen.
    if (applier.takesEachScreen()) {
        changeServices.applyEach = [&applier](const std::vector<ScreenBitmap>& bitmaps,
                                              std::int32_t layout) {
            applier.ApplyEachScreen(bitmaps, layout);
        };
    } else {
        changeServices.compose = &ScreenComposer::compose;
        changeServices.applySpanned = [&applier](const QString& bitmap) {
            applier.ApplySpanned(bitmap);
        };
    }
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
    // With a picture per screen, no screen keeps a picture made for a layout that is gone.
    QObject::connect(&screenWatcher, &ScreenWatcher::screensChanged, &window, [&window, &state] {
        if (state.settings().EachScreen != 0)
            window.changeNow();
    });
    // A save request also comes without a log-out (a checkpoint): save and keep running. The
    // real end of the session quits the application.
    QObject::connect(&application, &QGuiApplication::commitDataRequest, &window,
                     [&window](QSessionManager&) { window.saveSession(); });
    QObject::connect(&application, &QCoreApplication::aboutToQuit, &window,
                     &TrayWindow::endSession);
    QObject::connect(&window, &TrayWindow::ended, &application, &QCoreApplication::quit,
                     Qt::QueuedConnection);

    // Nobody sees a locked screen, and the battery may matter more: the window pauses the
    // timer for them as the settings say.
    QObject::connect(platform.screenLock.get(), &ScreenLockWatcher::lockedChanged, &window,
                     &TrayWindow::setScreenLocked);
    QObject::connect(platform.powerSource.get(), &PowerSourceWatcher::onBatteryChanged, &window,
                     &TrayWindow::setOnBattery);
    platform.screenLock->start();
    platform.powerSource->start();

    // Owned by the window.
    auto* control = new ControlAdaptor(window, screenInfo);
    control->publish(QDBusConnection::sessionBus());

    return QApplication::exec();
}
