#include "app/ProgramTrayServices.h"

#include "platform/Autostart.h"
#include "resources/AppTexts.h"
#include "ui/DialogRunner.h"
#include "wallpaper/PreviousLockScreen.h"
#include "wallpaper/PreviousWallpaper.h"

#include <QMessageBox>

ProgramTrayServices::ProgramTrayServices(PreviousWallpaper& previousWallpaper,
                                         PreviousLockScreen& previousLockScreen,
                                         Autostart& autostart, QString programPath,
                                         DialogRunner& dialogs)
    : m_previousWallpaper(previousWallpaper), m_previousLockScreen(previousLockScreen),
      m_autostart(autostart), m_programPath(std::move(programPath)), m_dialogs(dialogs) {}

void ProgramTrayServices::storeOldWallpaper() {
    m_previousWallpaper.StoreOldWallpaper();
}

void ProgramTrayServices::restoreOldWallpaper() {
    m_previousWallpaper.RestoreOldWallpaper();
    m_previousLockScreen.restore();
}

void ProgramTrayServices::updateLockScreen(bool onLockScreen) {
    if (onLockScreen)
        m_previousLockScreen.store();
    else
        m_previousLockScreen.restore();
}

void ProgramTrayServices::updateAutorun(bool autoRun) {
    if (autoRun)
        m_autostart.enable(m_programPath);
    else
        m_autostart.disable();
}

bool ProgramTrayServices::askRestoreOldWallpaper() {
    QMessageBox box(
        QMessageBox::Information, QString::fromLatin1(AppTexts::kRestoreQuestionCaption),
        QString::fromLatin1(AppTexts::kRestoreQuestion), QMessageBox::Yes | QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

std::optional<WallpaperSettings>
ProgramTrayServices::runProperties(const WallpaperSettings& current,
                                   const std::function<void(const WallpaperSettings&)>& apply) {
    return m_dialogs.runProperties(current, apply);
}

void ProgramTrayServices::runAbout() {
    m_dialogs.runAbout();
}

void ProgramTrayServices::raiseModalDialog() {
    m_dialogs.raiseModalDialog();
}

void ProgramTrayServices::cancelModalDialog() {
    m_dialogs.cancelModalDialog();
}
