#include "ui/DialogRunner.h"

#include "ftp/FolderListingJob.h"
#include "ui/AboutDialog.h"
#include "worker/SlideShowState.h"

namespace {

// Under focus-stealing prevention a dialog that is only shown may open behind other windows.
void bringToFront(QDialog& dialog) {
    dialog.show();
    dialog.raise();
    dialog.activateWindow();
}

} // namespace

DialogRunner::DialogRunner(Hooks hooks) : m_hooks(std::move(hooks)) {
    if (!m_hooks.listFolder && m_hooks.ftp)
        m_hooks.listFolder = [this](const FtpAccount& account, bool allPictureTypes,
                                    PropertiesDialog::ListingDone done) {
            listWithJob(account, allPictureTypes, std::move(done));
        };
}

DialogRunner::~DialogRunner() = default;

void DialogRunner::listWithJob(const FtpAccount& account, bool allPictureTypes,
                               PropertiesDialog::ListingDone done) {
    // A listing still running when the runner ends is aborted and reports nothing.
    FolderListingJob::listFolder(m_hooks.ftp, account, m_jobs.get(), std::move(done),
                                 allPictureTypes);
}

std::optional<WallpaperSettings>
DialogRunner::runProperties(const WallpaperSettings& current,
                            const std::function<void(const WallpaperSettings&)>& apply) {
    PropertiesDialog::Services services;
    services.state = &m_hooks.state;
    // The main window takes only the edited fields of what it is given.
    services.apply = apply;
    services.mainWindowExists = [] { return true; }; // the window outlives its modal dialogs
    services.changeNow = m_hooks.changeNow;
    services.listFolder = m_hooks.listFolder;
    services.appName = m_hooks.appName;
    services.defaultFavourites = m_hooks.defaultFavourites;

    PropertiesDialog dialog(current, std::move(services));
    m_properties = &dialog;
    bringToFront(dialog);
    const int result = dialog.exec();
    m_properties = nullptr;
    if (result != QDialog::Accepted)
        return std::nullopt;
    return dialog.record();
}

void DialogRunner::runAbout() {
    AboutDialog dialog;
    m_about = &dialog;
    bringToFront(dialog);
    dialog.exec();
    m_about = nullptr;
}

void DialogRunner::raiseModalDialog() {
    if (m_about)
        bringToFront(*m_about);
    else if (m_properties)
        bringToFront(*m_properties);
}

void DialogRunner::refreshLists() {
    if (m_properties)
        m_properties->refillLists();
}

void DialogRunner::cancelModalDialog() {
    if (m_properties)
        m_properties->cancelFromOutside();
    if (m_about)
        m_about->reject();
}
