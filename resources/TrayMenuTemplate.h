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
};

struct Item {
    Command command;
    const char* text;
    bool checkable;
};

inline constexpr std::array<Item, 6> kItems{{
    {Properties, "Tessaron Properties", false},
    {ChangeNow, "Change now", false},
    {Suspend, "Suspend", true},
    {About, "About Tessaron", false},
    {Separator, nullptr, false},
    {Exit, "Exit", false},
}};

} // namespace TrayMenuTemplate
