#pragma once

#include "app/TrayServices.h"

class Autostart;
class DialogRunner;
class PreviousLockScreen;
class PreviousWallpaper;

// The tray window's services in the running program: the previous-wallpaper record, the
// autostart entry, the restore question and the dialogs.
class ProgramTrayServices : public TrayServices {
public:
    ProgramTrayServices(PreviousWallpaper& previousWallpaper,
                        PreviousLockScreen& previousLockScreen, Autostart& autostart,
                        QString programPath, DialogRunner& dialogs);

    void storeOldWallpaper() override;
    void restoreOldWallpaper() override;
    void updateAutorun(bool autoRun) override;
    void updateLockScreen(bool onLockScreen) override;
    bool askRestoreOldWallpaper() override;
    std::optional<WallpaperSettings>
    runProperties(const WallpaperSettings& current,
                  const std::function<void(const WallpaperSettings&)>& apply) override;
    void runAbout() override;
    void raiseModalDialog() override;
    void cancelModalDialog() override;

private:
    PreviousWallpaper& m_previousWallpaper;
    PreviousLockScreen& m_previousLockScreen;
    Autostart& m_autostart;
    const QString m_programPath;
    DialogRunner& m_dialogs;
};
