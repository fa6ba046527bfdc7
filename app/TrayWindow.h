#pragma once

#include "app/ChangePacer.h"
#include "worker/WallpaperSettings.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <optional>

class QMenu;
class QSystemTrayIcon;
class QAction;
class SettingsStore;
class SlideShowControl;
class SlideShowState;
class TipChannel;
struct AppPaths;

// The hidden main window "Hide": owns the tray icon, its menu and the one-second timer that
// paces the changes, applies new settings and carries out the orderly exit.
class TrayWindow : public QWidget {
    Q_OBJECT

public:
    // The services around the window. Hooks that are empty are skipped.
    struct Context {
        SlideShowState& state;
        SettingsStore& settingsStore;
        const AppPaths& paths;
        TipChannel& tips;
        SlideShowControl* slideShow = nullptr;
        std::function<void()> storeOldWallpaper{};
        std::function<void()> restoreOldWallpaper{};
        std::function<void(bool autoRun)> updateAutorun{};
        // Asks "Restore old wallpaper?"; true for Yes. Defaults to the message box.
        std::function<bool()> askRestoreOldWallpaper{};
        // Runs the Properties dialog modally on a copy of the settings. `apply` takes the
        // dialog's values (its Apply button); the result holds the values of OK, or nothing.
        std::function<std::optional<WallpaperSettings>(
            const WallpaperSettings& current,
            const std::function<void(const WallpaperSettings&)>& apply)>
            runProperties{};
        std::function<void()> runAbout{};
        // Ends an open modal dialog as if cancelled (Exit chosen while it is open).
        std::function<void()> cancelModalDialog{};
    };

    explicit TrayWindow(Context context, QWidget* parent = nullptr);
    ~TrayWindow() override;

    // Operations of the menu and of the other rooms.
    void changeNow();
    void toggleSuspend();
    bool suspended() const { return m_pacer.suspended(); }
    void showProperties();
    void showAbout();
    // Takes the user-editable fields of `values` (not the positions), restarts the slide show
    // when the scan folder changed, refreshes autostart and saves everything.
    void apply(const WallpaperSettings& values);
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
    void onDestroy(bool askRestore);
    bool defaultAskRestore() const;

    Context m_context;
    ChangePacer m_pacer;
    QTimer m_timer;
    QSystemTrayIcon* m_trayIcon = nullptr;
    QMenu* m_menu = nullptr;
    QAction* m_suspendAction = nullptr;
    QString m_tip;
    bool m_propertiesOpen = false;
    int m_modalDepth = 0;
    bool m_exitPending = false;
    bool m_ended = false;
};
