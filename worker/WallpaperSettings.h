#pragma once

#include "conversion/WallpaperLayout.h"

#include <QString>
#include <array>
#include <cstdint>
#include <span>
#include <variant>

enum class SourceMode : std::int32_t { ScanFolder = 0, FileList = 1, FtpList = 2 };

// Every persisted choice of the user, one field per key of the profile section "Settings".
// Defaults live only in the settings table below; use defaults() for a first-start record.
// Values are kept as loaded, even outside their valid ranges; users of a field decide what an
// odd value means (an unknown mode shows nothing, an unknown layout converts as Centered).
struct WallpaperSettings {
    std::int32_t CurURLListPos{};
    std::int32_t CurFileListPos{};
    std::int32_t CurScanFolderPos{};
    std::int32_t UseFileList{};
    std::int32_t RunSlideShowCtrl{};
    std::uint32_t Seconds{};
    std::int32_t Layout{};
    QString StartPath;
    std::int32_t IncludeSubflders{};
    std::int32_t AutoRun{};
    std::uint32_t Minute{};
    std::uint32_t Hour{};
    QString FtpServer;
    QString FtpLogin;
    QString FtpPassword;
    QString FtpFolder;
    std::int32_t PauseWhenLocked{};
    std::int32_t PauseOnBattery{};
    // 1: the picture test also takes PNG, WebP, HEIF, AVIF and the other JPEG names.
    std::int32_t AllPictureTypes{};
    // 1: with several screens, each change gives every screen a picture of its own.
    std::int32_t EachScreen{};
    // 1: each source shows its pictures in rounds of a random order (ShuffleRound).
    std::int32_t Shuffle{};
    // Each source's round with Shuffle on: the key of its order (0 before the first round) and
    // the picture shown last in it, as the source names it (empty at the round's start).
    std::int32_t ShuffleScanSeed{};
    QString ShuffleScanLast;
    std::int32_t ShuffleFileSeed{};
    QString ShuffleFileLast;
    std::int32_t ShuffleURLSeed{};
    QString ShuffleURLLast;
    // The picture on the screen: a command run after each change (empty: none), the folder
    // "Copy to Favourites" fills (empty: Favourites::defaultFolder()), and whether the lock
    // screen shows the desktop's picture too.
    QString ChangeCommand;
    QString FavouritesFolder;
    std::int32_t ShowOnLockScreen{};
    // What refines the layout (WallpaperLayout): the colour around a picture that does not
    // cover the screen ("#rrggbb"; anything else is black), "Do not enlarge small pictures",
    // and "Keep the interesting part" of a picture cut to fill the screen.
    QString FitColor;
    std::int32_t NeverEnlarge{};
    std::int32_t SmartCrop{};

    // The record a first start uses; StartPath's default depends on the platform.
    static WallpaperSettings defaults(const QString& defaultStartPath);

    // The change interval in seconds, computed modulo 2^32 as the timer counts it.
    std::uint32_t intervalSeconds() const { return Hour * 3600u + Minute * 60u + Seconds; }
    // The layout and its refinements, as a conversion takes them.
    WallpaperLayout wallpaperLayout() const;

    bool operator==(const WallpaperSettings&) const = default;
};

// One row of the settings table: the profile key, its type, its default, the field, and
// whether the Properties dialog edits it (the positions are the slide show's own).
struct SettingEntry {
    using Field = std::variant<std::int32_t WallpaperSettings::*,
                               std::uint32_t WallpaperSettings::*, QString WallpaperSettings::*>;
    using Default = std::variant<std::int64_t, const char*>;

    const char* key;
    Field field;
    Default defaultValue; // a null text stands for the platform's default start folder
    bool edited = true;   // edited by the Properties dialog and taken over by Apply
};

namespace SettingsTable {

inline constexpr const char* kSection = "Settings";
inline constexpr const char* kDefaultFtpServer = "ftp.tessaron.invalid";

// Every setting in the record's order, each declared once.
std::span<const SettingEntry> all();
const SettingEntry& find(const char* key);

// The orders in which the profile is read and written back.
std::span<const char* const> loadOrder();
std::span<const char* const> saveOrder();

// Copies every field the Properties dialog edits from `from` into `to`; the rest of `to`
// (the positions) stays.
void copyEdited(const WallpaperSettings& from, WallpaperSettings& to);

} // namespace SettingsTable
