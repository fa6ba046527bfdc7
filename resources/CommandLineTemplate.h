#pragma once

#include <array>

// The command line and the D-Bus interface it calls: the running copy's bus name (which the
// desktop entry's file name repeats), the options, and their texts.
namespace CommandLineTemplate {

inline constexpr const char* kBusName = "example.halvik.Tessaron";
inline constexpr const char* kObjectPath = "/example/halvik/Tessaron";

inline constexpr const char* kDescription =
    "Tessaron changes the desktop wallpaper at an interval, from a folder, a list of files or "
    "an FTP server, and shows only a tray icon. Started without options it runs the slide show "
    "(a second start while one runs ends at once); the options below control the running copy "
    "and end with status 0, or 1 when no copy runs or the action does not apply (with one line "
    "on standard error that says why).";

// An option that calls a method of the running copy.
struct Call {
    const char* option;
    const char* method;
    const char* description;
};

inline constexpr std::array<Call, 13> kCalls{{
    {"next", "Next", "Show the next picture now, as \"Change now\" does."},
    {"pause", "Pause", "Suspend the timed changes."},
    {"resume", "Resume", "Resume the timed changes."},
    {"toggle-pause", "TogglePause", "Suspend the timed changes, or resume them."},
    {"properties", "ShowProperties", "Open the Properties dialog."},
    {"about", "ShowAbout", "Open the About box."},
    {"quit", "Quit", "Save everything and end, without asking about the old wallpaper."},
    // The picture on the screen (with a picture on each screen, the first screen's).
    {"previous", "Previous",
     "Show the picture shown before the one on the screen; again, to go further back. "
     "\"Change now\" then goes forward again before any new picture comes."},
    {"open", "Open", "Open the picture on the screen in your picture viewer."},
    {"show-in-folder", "ShowInFolder", "Show the picture on the screen in the file manager."},
    {"favourite", "Favourite", "Copy the picture on the screen into the Favourites folder."},
    {"trash", "Trash",
     "Move the picture on the screen to the trash (pictures of the folder and the file list "
     "only) and show the next one."},
    {"never-again", "NeverAgain",
     "Never show the picture on the screen again, and show the next one."},
}};

inline constexpr const char* kHelp = "Show this help.";
inline constexpr const char* kVersion = "Show the version.";

inline constexpr const char* kStatusOption = "status";
inline constexpr const char* kStatusDescription =
    "Print the running copy's state, one \"key: value\" line each: Suspended, PausedBy (why the "
    "timer does not count), SourceMode, CurrentPicture, SecondsToNextChange, Screens, History "
    "(how many pictures back the screen is) and Favourites (the Favourites folder).";

inline constexpr const char* kNotRunning = "Tessaron is not running";
// The error of an action on the picture that does not apply; its message says why.
inline constexpr const char* kNotApplicable = "example.halvik.Tessaron.Error.NotApplicable";
inline constexpr const char* kOneRequest = "Give only one of the options.";
inline constexpr const char* kNoArguments = "Tessaron takes no arguments: %1";

} // namespace CommandLineTemplate
