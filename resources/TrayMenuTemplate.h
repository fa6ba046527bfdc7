#pragma once

#include <array>

// The tray icon's pop-up menu: command ids and texts, in menu order. A command id of 0 is a
// separator.
namespace TrayMenuTemplate {

enum Command : int {
    Separator = 0,
    Exit = 32775,
    Properties = 32776,
    ChangeNow = 32778,
    Suspend = 32779,
    About = 57664,
    // The picture on the screen and the history.
    Previous = 32780,
    RecentPictures = 32781,
    CurrentPicture = 32782, // a submenu named after the picture
    OpenPicture = 32783,
    ShowInFolder = 32784,
    CopyToFavourites = 32785,
    MoveToTrash = 32786,
    NeverShowAgain = 32787,
};

struct Item {
    Command command;
    const char* text;
    bool checkable;
};

inline constexpr std::array<Item, 9> kItems{{
    {Properties, "Tessaron Properties", false},
    {ChangeNow, "Change now", false},
    {Suspend, "Suspend", true},
    {About, "About Tessaron", false},
    {Previous, "Previous picture", false},
    {RecentPictures, "Recent pictures", false},
    {CurrentPicture, "", false},
    {Separator, nullptr, false},
    {Exit, "Exit", false},
}};

// The submenu of each picture on the screen.
inline constexpr std::array<Item, 5> kPictureItems{{
    {OpenPicture, "Open picture", false},
    {ShowInFolder, "Show in folder", false},
    {CopyToFavourites, "Copy to Favourites", false},
    {MoveToTrash, "Move to trash", false},
    {NeverShowAgain, "Never show again", false},
}};

} // namespace TrayMenuTemplate
