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

// The per-user autostart entry and its description.
inline constexpr const char* kAutostartEntryName = "Tessaron.desktop";
inline constexpr const char* kAutostartDescription = "Descriptor";

inline constexpr const char* kRestoreQuestionCaption = "Question";
inline constexpr const char* kRestoreQuestion = "Restore old wallpaper?";

inline constexpr const char* kNoDisplay = "tessaron: no display could be opened; Tessaron needs a "
                                          "graphical desktop session.";
inline constexpr const char* kNoLock =
    "tessaron: no private runtime folder could be made for the single-instance lock; set "
    "XDG_RUNTIME_DIR to a folder of your own.";
inline constexpr const char* kNoTray =
    "tessaron: no system tray is available; running without an icon.";

// The picture on the screen: why an action does not apply (one line on standard error for the
// command line).
inline constexpr const char* kNoPictureYet = "No picture has been shown yet.";
inline constexpr const char* kNoEarlierPicture = "There is no earlier picture to go back to.";
inline constexpr const char* kNoSuchChange = "That picture is no longer in the history.";
inline constexpr const char* kPictureGone = "The picture is no longer there: %1";
inline constexpr const char* kDownloadGone =
    "The downloaded copy of this picture is gone; it comes again when the picture is shown again.";
inline constexpr const char* kOnServerNoFolder =
    "The picture is on a server: there is no folder to show it in.";
inline constexpr const char* kOnServerNoTrash =
    "The picture is on a server: only pictures of the folder and the file list go to the trash.";
inline constexpr const char* kTrashFailed = "Cannot move %1 to the trash: %2";
inline constexpr const char* kFavouriteFailed = "Cannot copy the picture into %1: %2";
inline constexpr const char* kListNotSaved = "Cannot save %1";
inline constexpr const char* kTooLongToExclude = "The name is too long for the exclusion list: %1";
// The folder "Copy to Favourites" fills unless the settings name another.
inline constexpr const char* kFavouritesFolderName = "Tessaron Favourites";

// Properties dialog.
inline constexpr const char* kPositiveIntegerMessage = "Please enter a positive integer.";
inline constexpr const char* kRangeMessage = "Please enter an integer between %1 and %2.";
inline constexpr const char* kEmptyFileListCaption = "Infornation";
inline constexpr const char* kEmptyFileList =
    "List of files is empty. You should add one or more files to list.";
inline constexpr const char* kFileListModeRefused =
    "List of files is empty. \"File list\" mode can not be selected.";
inline constexpr const char* kBrowseInstruction =
    "Choice a folder with images for scan and press OK button";

// List editors.
inline constexpr const char* kLastFileCaption = "Information";
inline constexpr const char* kLastFile = "Last file can not be removed";
// Description and pattern pairs separated by "|", ended by "||".
inline constexpr const char* kAddFileFilters =
    "Supported files(*.bmp;*.gif;*.jpg;*.tga;*.pcx;*.tif)|*.bmp; *.gif; *.jpg; *.tga; *.pcx; "
    "*.tif|BMP Files(*.BMP)|*.BMP|GIF Files(*.GIF)|*.GIF|PCX Files(*.PCX)|*.PCX|Targa "
    "Files(*.TGA)|*.TGA|Jpeg Files(*.JPG)|*.JPG|Tif Files(*.TIF)|*.TIF||";
// The Add chooser's first filter when "AllPictureTypes" is on, in the same form.
inline constexpr const char* kAllPictureTypesFilter =
    "All pictures(*.bmp;*.gif;*.jpg;*.jpeg;*.jpe;*.jfif;*.tif;*.tiff;*.pcx;*.tga;*.png;*.webp;"
    "*.heic;*.heif;*.avif)|*.bmp; *.gif; *.jpg; *.jpeg; *.jpe; *.jfif; *.tif; *.tiff; *.pcx; "
    "*.tga; *.png; *.webp; *.heic; *.heif; *.avif|";
inline constexpr const char* kTooLongCaption = "Warning";
inline constexpr const char* kPathTooLong =
    "This path is too long for a list entry and was not added:\n%1";
inline constexpr const char* kUrlsTooLong =
    "%1 address(es) were too long for a list entry and were left out.";
// Also captioned kTooLongCaption, with the warning icon.
inline constexpr const char* kListCut =
    "The folder holds more pictures than a list can take: only the first %1 were listed";

// "Get list".
inline constexpr const char* kFolderNotFoundCaption = "Warning";
inline constexpr const char* kFolderNotFound = "The folder can not found on  FTP server";
inline constexpr const char* kNoSessionCaption = "Fatal error";
inline constexpr const char* kNoSession = "Can not create Internet session";
// Also captioned kNoSessionCaption, with the error icon.
inline constexpr const char* kListingFailed =
    "The folder listing failed on the server: the connection broke off after login";
inline constexpr const char* kCertificateRejected =
    "The server's TLS certificate could not be verified, or the server offers no TLS. "
    "Nothing was sent.";
inline constexpr const char* kHostKeyUnknown =
    "The server's SSH host key is not in ~/.ssh/known_hosts. Connect to it once with ssh to "
    "check and accept its key, then try again.";
inline constexpr const char* kHostKeyMismatch =
    "The server's SSH host key does not match the one in ~/.ssh/known_hosts: another machine "
    "may be answering in its place. Nothing was sent.";
inline constexpr const char* kHostKeyRevoked =
    "The server's SSH host key is marked @revoked in ~/.ssh/known_hosts. Nothing was sent.";
// Beside the password field, by the server field's form.
inline constexpr const char* kPasswordInClear = "Sent in clear";
inline constexpr const char* kPasswordEncrypted = "Sent encrypted";

// About box. The version is a single-precision value widened to double, shown with three
// decimals.
inline constexpr float kVersionNumber = 2.3f;
inline constexpr const char* kVersionFormat = "Tessaron version %.3f";
inline constexpr const char* kVersionSecondLine = "A wallpaper slide show for the tray.";
inline constexpr const char* kWebPage = "https://www.halvik.example/tessaron/";
inline constexpr const char* kMailAddress = "mailto:tessaron@halvik.example";
inline constexpr const char* kMakerSite = "https://www.halvik.example/";

} // namespace AppTexts
