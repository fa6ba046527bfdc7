#pragma once

#include "ui/PropertiesDialog.h"
#include "worker/WallpaperSettings.h"

#include <QPointer>
#include <functional>
#include <optional>

class AboutDialog;
class SlideShowState;

// Runs the program's two dialogs modally for the main window: the Properties dialog on a copy
// of the settings, and the About box. It can end whichever is open as if cancelled.
class DialogRunner {
public:
    struct Hooks {
        SlideShowState& state;
        QString appName;
        std::function<void()> changeNow{};
        std::function<void(const FtpAccount&, PropertiesDialog::ListingDone)> listFolder{};
    };

    explicit DialogRunner(Hooks hooks);

    // The values of OK, or nothing when cancelled. `apply` takes the values of the dialog's
    // Apply button.
    std::optional<WallpaperSettings>
    runProperties(const WallpaperSettings& current,
                  const std::function<void(const WallpaperSettings&)>& apply);
    void runAbout();
    void cancelModalDialog();

private:
    Hooks m_hooks;
    QPointer<PropertiesDialog> m_properties;
    QPointer<AboutDialog> m_about;
};
