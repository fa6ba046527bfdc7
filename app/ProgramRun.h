#pragma once

#include "app/ChangeCommand.h"
#include "app/PictureActions.h"
#include "app/ProgramControl.h"
#include "app/ProgramTrayServices.h"
#include "app/SettingsStore.h"
#include "app/TrayWindow.h"
#include "ftp/FtpDownloader.h"
#include "platform/PlatformServices.h"
#include "platform/ScreenInfo.h"
#include "platform/ScreenWatcher.h"
#include "ui/DialogRunner.h"
#include "wallpaper/PictureConverter.h"
#include "wallpaper/PreviousLockScreen.h"
#include "wallpaper/PreviousWallpaper.h"
#include "wallpaper/WallpaperApplier.h"
#include "worker/ChangeServices.h"
#include "worker/SlideShowState.h"
#include "worker/SlideShowWorker.h"
#include "worker/TipChannel.h"

#include <memory>

class ControlServer;
class FtpClient;
class QApplication;
class ShutdownSignals;

// The running program: the platform's services, the shared state, the worker and the tray
// window, made in the order they need each other and ended in the reverse order.
class ProgramRun {
public:
    explicit ProgramRun(PlatformServices platform);
    ~ProgramRun();

    // Connects the window to the application's and the system's events and publishes the
    // program's interface for other programs; the window then runs until the application quits.
    void start(QApplication& application, ShutdownSignals& shutdownSignals);

private:
    ChangeServices changeServices();
    DialogRunner::Hooks dialogHooks();
    // After each change, on the worker thread: the history's file, the lock screen, the
    // user's command.
    void changed(const std::vector<ShownPicture>& pictures);

    PlatformServices m_platform;
    ScreenInfo m_screenInfo;
    ScreenWatcher m_screenWatcher;
    SlideShowState m_state;
    TipChannel m_tips;
    SettingsStore m_settingsStore;
    PictureConverter m_converter;
    // The one transport for every download and folder listing, on every system.
    std::shared_ptr<FtpClient> m_ftp;
    FtpDownloader m_ftpDownloader;
    WallpaperApplier m_applier;
    ChangeCommand m_changeCommand;
    SlideShowWorker m_slideShow;
    PreviousWallpaper m_previousWallpaper;
    PreviousLockScreen m_previousLockScreen;
    DialogRunner m_dialogs;
    ProgramTrayServices m_trayServices;
    PictureActions m_pictures;
    TrayWindow m_window;
    ProgramControl m_control;
    // Ended first: no request reaches the window once it is going.
    std::unique_ptr<ControlServer> m_controlServer;
};
