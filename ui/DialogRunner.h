#pragma once

#include "ui/PropertiesDialog.h"
#include "worker/WallpaperSettings.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <optional>

class AboutDialog;
class FtpClient;
class SlideShowState;

// Runs the program's two dialogs modally for the main window: the Properties dialog on a copy
// of the settings, and the About box. It can end whichever is open as if cancelled.
class DialogRunner {
public:
    struct Hooks {
        SlideShowState& state;
        QString appName;
        std::function<void()> changeNow{};
        // Lists server folders for "Get list"; when empty, listings run as jobs on `ftp`.
        std::function<void(const FtpAccount&, bool, PropertiesDialog::ListingDone)> listFolder{};
        std::shared_ptr<FtpClient> ftp{};
        QString defaultFavourites{};
    };

    explicit DialogRunner(Hooks hooks);
    ~DialogRunner();

    // The values of OK, or nothing when cancelled. `apply` takes the values of the dialog's
    // Apply button.
    std::optional<WallpaperSettings>
    runProperties(const WallpaperSettings& current,
                  const std::function<void(const WallpaperSettings&)>& apply);
    void runAbout();
    // Brings the open dialog (the top one, when About runs over Properties) to the front.
    void raiseModalDialog();
    void cancelModalDialog();
    // The main window's lists changed from outside the dialog: an open dialog shows them anew.
    void refreshLists();

    // How "Get list" lists a server folder (empty when there is no way to).
    const std::function<void(const FtpAccount&, bool, PropertiesDialog::ListingDone)>&
    listFolder() const {
        return m_hooks.listFolder;
    }

private:
    void listWithJob(const FtpAccount& account, bool allPictureTypes,
                     PropertiesDialog::ListingDone done);

    Hooks m_hooks;
    // Parent of the listing jobs still running: ending the runner aborts and joins them.
    std::unique_ptr<QObject> m_jobs = std::make_unique<QObject>();
    QPointer<PropertiesDialog> m_properties;
    QPointer<AboutDialog> m_about;
};
