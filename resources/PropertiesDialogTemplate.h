#pragma once

#include "resources/DialogTemplate.h"

#include <array>

// The Properties dialog: 452 x 401 dialog units. Its lower half holds three overlapping groups,
// one per picture source; the dialog shows one of them and fits its height to it. A column on
// the right holds what concerns the picture on the screen.
namespace PropertiesDialogTemplate {

enum Id : int {
    IdOk = 1,
    IdCancel = 2,
    IdApply = 3003,
    // Layout radios, in the order of their ImageLayout values.
    IdCentered = 2008,
    IdTile = 2007,
    IdFitOnDesktop = 2009,
    IdCentredInWorkArea = 2010,
    IdFill = 2040,
    IdStretch = 2041,
    IdFitOnBlur = 2042,
    IdSpan = 2043,
    // What refines the layouts.
    IdSmartCrop = 2044,
    IdNeverEnlarge = 2045,
    IdFitColor = 2046,
    IdAlignmentGroup = 1024,
    IdIntervalGroup = 1025,
    IdIntervalHint = 1026,
    IdHour = 2015,
    IdMinute = 2014,
    IdSeconds = 2016,
    IdAutoRun = 2011,
    IdPauseWhenLocked = 2018,
    IdPauseOnBattery = 2019,
    IdAllPictureTypes = 2020,
    IdEachScreen = 2021,
    IdShuffle = 2022,
    // Source radios, in the order of their SourceMode values.
    IdScanFolderMode = 1030,
    IdFileListMode = 1031,
    IdFtpMode = 1045,
    IdButtonLine = 1050,
    // Scan folder group.
    IdScanText = 1048,
    IdStartPath = 2012,
    IdBrowse = 1006,
    IdIncludeSubfolders = 1047,
    IdRunSlideShowCtrl = 2017,
    // File list group.
    IdFileListText = 1049,
    IdFileList = 1021,
    IdAdd = 1003,
    IdDelete = 1004,
    IdMoveUp = 3008,
    IdMoveDown = 3009,
    IdShowNow = 1029,
    // FTP connection group.
    IdFtpText = 1051,
    IdServerLabel = 1034,
    IdFtpServer = 1046,
    IdLoginLabel = 1035,
    IdFtpLogin = 1038,
    IdPasswordLabel = 1036,
    IdFtpPassword = 1039,
    IdPasswordHint = 1052, // whether the server's form sends the password in clear
    IdFolderLabel = 1037,
    IdFtpFolder = 1005,
    IdGetList = 1040,
    IdUrlList = 1033,
    IdDeleteUrl = 1041,
    IdMoveUrlUp = 1042,
    IdMoveUrlDown = 1043,
    IdShowUrlNow = 1044,
    // The picture on the screen (the right column).
    IdPictureGroup = 2030,
    IdChangeCommandLabel = 2031,
    IdChangeCommand = 2032,
    IdShowOnLockScreen = 2033,
    IdFavouritesLabel = 2034,
    IdFavouritesFolder = 2035,
    IdExcludedList = 2036,
    IdRemoveExcluded = 2037,
};

inline constexpr int kSidePictureBitmap = 159;

using DialogTemplate::Control;
using DialogTemplate::kNoId;
using K = DialogTemplate::Kind;

inline constexpr std::array kControls{
    // Always shown.
    Control{kNoId, K::Picture, "", {7, 7, 53, 101}, kSidePictureBitmap},
    Control{IdAlignmentGroup, K::GroupBox, "Image alignment", {65, 7, 183, 86}},
    Control{IdCentered, K::RadioFirst, "Centered", {73, 18, 45, 10}},
    Control{IdTile, K::Radio, "Tile", {151, 18, 27, 10}},
    Control{IdFitOnDesktop, K::Radio, "Fit on desktop", {73, 30, 61, 10}},
    Control{IdCentredInWorkArea, K::Radio, "Centred in work area", {151, 30, 81, 10}},
    // The layouts of today's desktops, and what refines the layouts.
    Control{IdFill, K::Radio, "Fill the screen", {73, 42, 70, 10}},
    Control{IdStretch, K::Radio, "Stretch", {151, 42, 40, 10}},
    Control{IdSpan, K::Radio, "Span all screens", {73, 54, 70, 10}},
    Control{IdFitOnBlur, K::Radio, "Fit on a blurred copy", {151, 54, 90, 10}},
    Control{IdSmartCrop, K::CheckBox, "Keep the interesting part", {73, 67, 110, 10}},
    Control{IdFitColor, K::ColourButton, "Border colour", {188, 65, 56, 14}},
    Control{IdNeverEnlarge, K::CheckBox, "Do not enlarge small pictures", {73, 79, 113, 10}},
    Control{IdIntervalGroup, K::GroupBox, "Interval update", {65, 95, 183, 41}},
    Control{IdIntervalHint, K::Text, "Min: 1 sec. Max: 24 hours", {73, 106, 107, 8}},
    Control{IdHour, K::Edit, "", {73, 116, 22, 12}},
    Control{kNoId, K::Text, "hour", {98, 118, 18, 8}},
    Control{IdMinute, K::Edit, "", {119, 116, 22, 12}},
    Control{kNoId, K::Text, "min", {143, 118, 16, 8}},
    Control{IdSeconds, K::Edit, "", {163, 116, 22, 12}},
    Control{kNoId, K::Text, "sec", {187, 118, 16, 8}},
    Control{IdAutoRun, K::CheckBox, "Auto run program", {66, 140, 68, 10}},
    Control{IdShuffle, K::CheckBox, "Shuffle", {151, 140, 50, 10}},
    Control{IdAllPictureTypes,
            K::CheckBox,
            "Also PNG, WebP, HEIF, AVIF and .jpeg pictures",
            {66, 152, 182, 10}},
    Control{IdEachScreen, K::CheckBox, "A different picture on each screen", {66, 164, 182, 10}},
    Control{kNoId, K::EtchedLine, "", {65, 178, 183, 2}},
    Control{IdScanFolderMode, K::RadioFirst, "Use the \"Scan folder\" mode", {13, 184, 105, 10}},
    Control{IdFileListMode, K::Radio, "Use the \"File list\" mode", {13, 195, 89, 10}},
    Control{IdFtpMode, K::Radio, "Use the \"FTP connection\" mode", {13, 206, 119, 10}},
    Control{
        IdPauseWhenLocked, K::CheckBox, "Pause while the screen is locked", {131, 184, 117, 10}},
    Control{IdPauseOnBattery, K::CheckBox, "Pause on battery power", {131, 195, 117, 10}},
    Control{kNoId, K::EtchedLine, "", {7, 219, 241, 2}},
    Control{IdButtonLine, K::EtchedLine, "", {7, 376, 241, 2}},
    Control{IdOk, K::DefaultButton, "OK", {7, 380, 50, 14}},
    Control{IdCancel, K::Button, "Cancel", {61, 380, 50, 14}},
    Control{IdApply, K::Button, "Apply", {115, 380, 50, 14}},

    // Scan folder group (source 0); anchor 1047.
    Control{IdScanText,
            K::Text,
            "Choose folder with images for sliding their as wallpaper. This fol der will be scan "
            "include or exclude subfolders",
            {8, 224, 178, 18}},
    Control{IdStartPath, K::Edit, "", {7, 250, 181, 12}},
    Control{IdBrowse, K::Button, "Browse", {198, 248, 50, 14}},
    Control{IdIncludeSubfolders, K::CheckBox, "include subfolders", {7, 268, 150, 10}},
    Control{IdRunSlideShowCtrl, K::CheckBoxHidden, "Run slide show control", {201, 228, 40, 10}},

    // File list group (source 1); anchor 1021.
    Control{IdFileListText,
            K::Text,
            "You can add file into file list and Tessaron will be show them. You can use \"Add\" "
            "button or drag-drop operation (recomended).",
            {7, 223, 179, 24}},
    Control{IdFileList, K::FileListView, "File paths", {7, 250, 181, 81}},
    Control{IdAdd, K::Button, "Add", {198, 249, 50, 14}},
    Control{IdDelete, K::Button, "Delete", {198, 266, 50, 14}},
    Control{IdMoveUp, K::Button, "Move Up", {198, 283, 50, 14}},
    Control{IdMoveDown, K::Button, "Move Down", {198, 300, 50, 14}},
    Control{IdShowNow, K::Button, "Show now", {198, 317, 50, 14}},

    // FTP connection group (source 2); anchor 1033.
    Control{IdFtpText,
            K::Text,
            "You can connct to FTP or HTTP site and get from site a list of images. For this "
            "enter FTP or HTTP server name, login, password and folder on server",
            {7, 223, 179, 24}},
    Control{IdServerLabel, K::Text, "Server ftp://", {7, 249, 42, 8}},
    Control{IdFtpServer, K::Edit, "", {51, 247, 134, 12}},
    Control{IdLoginLabel, K::Text, "Login:", {7, 263, 20, 8}},
    Control{IdFtpLogin, K::Edit, "", {51, 262, 46, 12}},
    Control{IdPasswordLabel, K::Text, "Password:", {102, 264, 34, 8}},
    Control{IdFtpPassword, K::EditMasked, "", {137, 263, 48, 12}},
    Control{IdPasswordHint, K::Text, "", {189, 265, 59, 8}},
    Control{IdFolderLabel, K::Text, "FTP folder\n(if aplicable):", {7, 278, 43, 18}},
    Control{IdFtpFolder, K::Edit, "", {51, 279, 133, 12}},
    Control{IdGetList, K::Button, "Get list", {198, 278, 50, 14}},
    Control{IdUrlList, K::UrlListView, "File URLs", {7, 298, 181, 74}},
    Control{IdDeleteUrl, K::Button, "Delete URL", {198, 297, 50, 14}},
    Control{IdMoveUrlUp, K::Button, "Move Up", {198, 314, 50, 14}},
    Control{IdMoveUrlDown, K::Button, "Move Down", {198, 331, 50, 14}},
    Control{IdShowUrlNow, K::Button, "Show now", {198, 348, 50, 14}},

    // The picture on the screen; above the lowest group's bottom, so that every source shows it.
    Control{IdPictureGroup, K::GroupBox, "The picture on the screen", {255, 7, 190, 218}},
    Control{IdChangeCommandLabel, K::Text, "Run after each change", {262, 19, 176, 8}},
    Control{IdChangeCommand, K::Edit, "", {262, 29, 176, 12}},
    Control{IdShowOnLockScreen, K::CheckBox, "Also show it on the lock screen", {262, 46, 176, 10}},
    Control{IdFavouritesLabel, K::Text, "Favourites folder", {262, 61, 176, 8}},
    Control{IdFavouritesFolder, K::Edit, "", {262, 71, 176, 12}},
    Control{IdExcludedList, K::UrlListView, "Never shown again", {262, 90, 176, 110}},
    Control{IdRemoveExcluded, K::Button, "Remove", {388, 204, 50, 14}},
};

inline constexpr DialogTemplate::Dialog kDialog{"Tessaron Properties", 452, 401,
                                                "MS Sans Serif",       8,   kControls};

// In the order of their ImageLayout values.
inline constexpr std::array<int, 8> kLayoutRadios{IdCentered,          IdTile, IdFitOnDesktop,
                                                  IdCentredInWorkArea, IdFill, IdStretch,
                                                  IdFitOnBlur,         IdSpan};
inline constexpr std::array<int, 3> kSourceRadios{IdScanFolderMode, IdFileListMode, IdFtpMode};

// Every control of the three source groups, in the order they are hidden.
inline constexpr std::array<int, 27> kModeControls{
    IdScanText,    IdStartPath,  IdBrowse,        IdIncludeSubfolders, IdFileListText, IdFileList,
    IdAdd,         IdDelete,     IdMoveUp,        IdMoveDown,          IdShowNow,      IdFtpText,
    IdServerLabel, IdLoginLabel, IdPasswordLabel, IdFolderLabel,       IdUrlList,      IdGetList,
    IdDeleteUrl,   IdMoveUrlUp,  IdMoveUrlDown,   IdShowUrlNow,        IdFtpServer,    IdFtpLogin,
    IdFtpPassword, IdFtpFolder,  IdPasswordHint};

// What each source shows, and the control whose bottom edge sets the dialog's height.
struct ModeGroup {
    int anchor;
    std::span<const int> controls;
};

inline constexpr std::array<int, 4> kScanGroup{IdScanText, IdStartPath, IdBrowse,
                                               IdIncludeSubfolders};
inline constexpr std::array<int, 7> kFileListGroup{IdFileListText, IdFileList, IdAdd,    IdDelete,
                                                   IdMoveUp,       IdMoveDown, IdShowNow};
inline constexpr std::array<int, 16> kFtpGroup{
    IdFtpText,   IdServerLabel, IdLoginLabel, IdPasswordLabel, IdFolderLabel, IdFtpServer,
    IdFtpLogin,  IdFtpPassword, IdFtpFolder,  IdGetList,       IdUrlList,     IdDeleteUrl,
    IdMoveUrlUp, IdMoveUrlDown, IdShowUrlNow, IdPasswordHint};

inline constexpr std::array<ModeGroup, 3> kModeGroups{{
    {IdIncludeSubfolders, kScanGroup},
    {IdFileList, kFileListGroup},
    {IdUrlList, kFtpGroup},
}};

} // namespace PropertiesDialogTemplate
