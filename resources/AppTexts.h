#pragma once

// The program's own texts and the ids they travel with. Every user-visible text outside the
// dialog templates is here, so that nothing quotes it twice.
namespace AppTexts {

inline constexpr int kAppNameStringId = 128;
inline constexpr const char* kAppName = "Tessaron";
inline constexpr const char* kMaker = "Halvik";
inline constexpr const char* kHiddenWindowTitle = "Hide";
inline constexpr int kHiddenWindowWidth = 300;
inline constexpr int kHiddenWindowHeight = 60;

inline constexpr const char* kTipPrefix = "Tessaron - ";
inline constexpr const char* kTipFileNotFound = "Tessaron - File is not found";
inline constexpr int kTipMaxChars = 63;

inline constexpr const char* kRestoreQuestionCaption = "Question";
inline constexpr const char* kRestoreQuestion = "Restore old wallpaper?";

inline constexpr const char* kNoDisplay = "tessaron: no display could be opened; Tessaron needs a "
                                          "graphical desktop session.";
inline constexpr const char* kNoTray =
    "tessaron: no system tray is available; running without an icon.";

} // namespace AppTexts
