#pragma once

#include "app/ChangePacer.h"
#include "worker/WallpaperSettings.h"

#include <QTimer>
#include <QWidget>

class QMenu;
class QSystemTrayIcon;
class QAction;
class PictureActions;
class PictureMenu;
class SettingsStore;
class SlideShowControl;
class SlideShowState;
class TipChannel;
class TrayServices;
struct AppPaths;

// The hidden main window "Hide": owns the tray icon, its menu and the one-second timer that
// paces the changes, applies new settings and carries out the orderly exit.
class TrayWindow : public QWidget {
    Q_OBJECT

public:
    // The services around the window; all of them outlive it.
    struct Context {
        SlideShowState& state;
        SettingsStore& settingsStore;
        const AppPaths& paths;
        TipChannel& tips;
        SlideShowControl& slideShow;
        TrayServices& services;
        PictureActions& pictures;
    };

    explicit TrayWindow(Context context, QWidget* parent = nullptr);
    ~TrayWindow() override;

    // What stops the timer from counting, beside the user's own Suspend.
    struct PauseReasons {
        bool screenLocked = false; // PauseWhenLocked, and nobody sees the desktop
        bool onBattery = false;    // PauseOnBattery, and the machine runs on battery
        bool any() const { return screenLocked || onBattery; }
    };
    // What the program is doing, for those who ask from outside.
    struct Status {
        bool suspended = false;
        PauseReasons pausedBy;
        std::int32_t sourceMode = 0;
        QString currentPicture;
        std::uint32_t secondsToNextChange = 0;
    };

    // Operations of the menu and of the other rooms.
    void changeNow();
    void toggleSuspend();
    void setSuspended(bool suspended);
    bool suspended() const { return m_pacer.suspended(); }
    // The desktop's state as its watchers report it; the settings say whether it pauses.
    void setScreenLocked(bool locked) { m_screenLocked = locked; }
    void setOnBattery(bool onBattery) { m_onBattery = onBattery; }
    Status status() const;
    // Open a dialog from a queued call, so that whoever asked (a D-Bus call from the tray
    // host, a menu event) gets its answer at once. A second request while the dialog is open
    // brings it to the front.
    void showProperties();
    void showAbout();
    // Takes the fields the Properties dialog edits (not the positions), restarts the slide
    // show at the new folder's first picture when the scan folder changed, refreshes autostart
    // and saves everything.
    void apply(const WallpaperSettings& values);
    // The session manager asks the program to save (at log-out or as a checkpoint): saves
    // everything as Apply does and keeps running.
    void saveSession();
    // "Exit": apply the current values, then the orderly end with the restore question.
    void exitProgram();
    // Log-out or a termination signal: save as Exit does, without asking, and end.
    void endSession();

    // One timer tick (the timer calls it; tests call it directly).
    void tick();

    // Any thread may post a tip through the TipChannel; this applies it on the window's thread.
    void applyTip(const QString& text);
    QString tip() const { return m_tip; }
    QMenu* menu() const { return m_menu; }
    QSystemTrayIcon* trayIcon() const { return m_trayIcon; }
    bool hasEnded() const { return m_ended; }

signals:
    // Emitted when the orderly end is complete; the application then leaves its event loop.
    void ended();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createTrayIcon();
    void runProperties();
    void runAbout();
    void saveAll();
    void onDestroy(bool askRestore);
    PauseReasons pauseReasons(const WallpaperSettings& settings) const;

    Context m_context;
    ChangePacer m_pacer;
    QTimer m_timer;
    QSystemTrayIcon* m_trayIcon = nullptr;
    QMenu* m_menu = nullptr;
    QAction* m_suspendAction = nullptr;
    PictureMenu* m_pictureMenu = nullptr;
    QString m_tip;
    bool m_screenLocked = false;
    bool m_onBattery = false;
    bool m_propertiesOpen = false;
    bool m_aboutOpen = false;
    int m_modalDepth = 0;
    bool m_exitPending = false;
    bool m_ended = false;
};
