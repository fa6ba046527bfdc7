#pragma once

#include "worker/ShownPicture.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class DesktopShell;
class SlideShowState;

// What the user does with the picture on the screen and with the history, the same from the
// tray menu, the command line and D-Bus. Each action answers at once: an empty text when it
// is done (or under way), else the one line that says why it does not apply. With a picture
// on each screen, `picture` counts the different pictures on the screens in screen order.
class PictureActions {
public:
    struct Services {
        SlideShowState& state;
        DesktopShell& shell;
        // A shortcut resolved as the picture test resolves it.
        std::function<QString(const QString& path)> resolveShortcut;
        QString fileListPath;
        QString excludedListPath;
        // The next picture at once; the interval counts from there.
        std::function<void()> changeNow;
        // The file list or the exclusion list changed (an open dialog shows them anew).
        std::function<void()> listsChanged{};
    };

    static constexpr std::size_t kRecentCount = 10;

    explicit PictureActions(Services services);

    // Shows the change before the one on the screen, passing over those that are gone.
    QString previous();
    // Shows the change `id` of the history again.
    QString showAgain(std::uint64_t id);
    QString open(std::size_t picture = 0);
    QString showInFolder(std::size_t picture = 0);
    QString favourite(std::size_t picture = 0);
    // A folder-walk or file-list picture to the trash (a link, not its target), its file-list
    // entries removed, and the next picture at once.
    QString trash(std::size_t picture = 0);
    // The picture's name on the exclusion list (saved at once), and the next picture at once.
    QString neverAgain(std::size_t picture = 0);

    // The different pictures on the screens now, in screen order.
    std::vector<ShownPicture> currentPictures() const;
    struct Recent {
        std::uint64_t id;
        QString name; // as the tip names the change
    };
    // The last changes shown, newest first.
    std::vector<Recent> recent() const;
    // How many changes are newer than the one on the screen.
    std::size_t historyBack() const;
    QString favouritesFolder() const;

private:
    std::optional<ShownPicture> current(std::size_t picture, QString& whyNot) const;
    // The picture's file as it can be opened now: a local one found again (links followed), a
    // URL-list one's downloaded copy; empty, with the reason, when it is gone.
    QString fileOf(const ShownPicture& picture, QString& whyNot) const;
    bool isShowable(const ShownPicture& picture) const;
    void removeFromFileList(const QString& entry);

    Services m_services;
};
