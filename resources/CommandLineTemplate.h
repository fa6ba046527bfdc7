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
    "and end with status 0, or 1 when no copy runs.";

// An option that calls a method of the running copy.
struct Call {
    const char* option;
    const char* method;
    const char* description;
};

inline constexpr std::array<Call, 7> kCalls{{
    {"next", "Next", "Show the next picture now, as \"Change now\" does."},
    {"pause", "Pause", "Suspend the timed changes."},
    {"resume", "Resume", "Resume the timed changes."},
    {"toggle-pause", "TogglePause", "Suspend the timed changes, or resume them."},
    {"properties", "ShowProperties", "Open the Properties dialog."},
    {"about", "ShowAbout", "Open the About box."},
    {"quit", "Quit", "Save everything and end, without asking about the old wallpaper."},
}};

inline constexpr const char* kHelp = "Show this help.";
inline constexpr const char* kVersion = "Show the version.";

inline constexpr const char* kStatusOption = "status";
inline constexpr const char* kStatusDescription =
    "Print the running copy's state, one \"key: value\" line each: Suspended, PausedBy (why the "
    "timer does not count), SourceMode, CurrentPicture, SecondsToNextChange and Screens.";

inline constexpr const char* kNotRunning = "Tessaron is not running";
inline constexpr const char* kOneRequest = "Give only one of the options.";
inline constexpr const char* kNoArguments = "Tessaron takes no arguments: %1";

} // namespace CommandLineTemplate
