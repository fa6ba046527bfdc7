#include "worker/WallpaperSettings.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <stdexcept>

namespace SettingsTable {
namespace {

using W = WallpaperSettings;

const std::array<SettingEntry, 33> kTable{{
    {"CurURLListPos", &W::CurURLListPos, std::int64_t{0}, false},
    {"CurFileListPos", &W::CurFileListPos, std::int64_t{0}, false},
    {"CurScanFolderPos", &W::CurScanFolderPos, std::int64_t{0}, false},
    {"UseFileList", &W::UseFileList, std::int64_t{0}},
    {"RunSlideShowCtrl", &W::RunSlideShowCtrl, std::int64_t{0}},
    {"Seconds", &W::Seconds, std::int64_t{0}},
    {"Layout", &W::Layout, std::int64_t{0}},
    {"StartPath", &W::StartPath, static_cast<const char*>(nullptr)},
    {"IncludeSubflders", &W::IncludeSubflders, std::int64_t{1}},
    {"AutoRun", &W::AutoRun, std::int64_t{1}},
    {"Minute", &W::Minute, std::int64_t{10}},
    {"Hour", &W::Hour, std::int64_t{0}},
    {"FtpServer", &W::FtpServer, kDefaultFtpServer},
    {"FtpLogin", &W::FtpLogin, "anonymous"},
    {"FtpPassword", &W::FtpPassword, "wexolvra"},
    {"FtpFolder", &W::FtpFolder, ""},
    // Nobody sees a locked desktop, so the timer waits by default.
    {"PauseWhenLocked", &W::PauseWhenLocked, std::int64_t{1}},
    {"PauseOnBattery", &W::PauseOnBattery, std::int64_t{0}},
    {"AllPictureTypes", &W::AllPictureTypes, std::int64_t{0}},
    {"EachScreen", &W::EachScreen, std::int64_t{0}},
    {"Shuffle", &W::Shuffle, std::int64_t{0}},
    // The rounds are the slide show's own, like the positions.
    {"ShuffleScanSeed", &W::ShuffleScanSeed, std::int64_t{0}, false},
    {"ShuffleScanLast", &W::ShuffleScanLast, "", false},
    {"ShuffleFileSeed", &W::ShuffleFileSeed, std::int64_t{0}, false},
    {"ShuffleFileLast", &W::ShuffleFileLast, "", false},
    {"ShuffleURLSeed", &W::ShuffleURLSeed, std::int64_t{0}, false},
    {"ShuffleURLLast", &W::ShuffleURLLast, "", false},
    {"ChangeCommand", &W::ChangeCommand, ""},
    {"FavouritesFolder", &W::FavouritesFolder, ""},
    {"ShowOnLockScreen", &W::ShowOnLockScreen, std::int64_t{0}},
    {"FitColor", &W::FitColor, "#000000"},
    {"NeverEnlarge", &W::NeverEnlarge, std::int64_t{0}},
    {"SmartCrop", &W::SmartCrop, std::int64_t{1}},
}};

// Kept in columns, so that settings added later change only the lines they add.
// clang-format off
constexpr std::array<const char*, 33> kLoadOrder{
    "IncludeSubflders", "AutoRun",        "Minute",           "Hour",
    "StartPath",        "Layout",         "Seconds",          "RunSlideShowCtrl",
    "UseFileList",      "CurFileListPos", "CurScanFolderPos", "FtpServer",
    "FtpLogin",         "FtpPassword",    "FtpFolder",        "CurURLListPos",
    "PauseWhenLocked",  "PauseOnBattery", "AllPictureTypes",  "EachScreen",
    "Shuffle",          "ShuffleScanSeed", "ShuffleScanLast", "ShuffleFileSeed",
    "ShuffleFileLast",  "ShuffleURLSeed",  "ShuffleURLLast",  "ChangeCommand",
    "FavouritesFolder", "ShowOnLockScreen", "FitColor",       "NeverEnlarge",
    "SmartCrop"};

constexpr std::array<const char*, 33> kSaveOrder{
    "IncludeSubflders", "AutoRun",        "Minute",           "Hour",
    "StartPath",        "Layout",         "Seconds",          "RunSlideShowCtrl",
    "UseFileList",      "CurFileListPos", "CurScanFolderPos", "CurURLListPos",
    "FtpServer",        "FtpLogin",       "FtpPassword",      "FtpFolder",
    "PauseWhenLocked",  "PauseOnBattery", "AllPictureTypes",  "EachScreen",
    "Shuffle",          "ShuffleScanSeed", "ShuffleScanLast", "ShuffleFileSeed",
    "ShuffleFileLast",  "ShuffleURLSeed",  "ShuffleURLLast",  "ChangeCommand",
    "FavouritesFolder", "ShowOnLockScreen", "FitColor",       "NeverEnlarge",
    "SmartCrop"};
// clang-format on

} // namespace

std::span<const SettingEntry> all() {
    return kTable;
}

const SettingEntry& find(const char* key) {
    for (const SettingEntry& entry : kTable)
        if (std::strcmp(entry.key, key) == 0)
            return entry;
    throw std::logic_error(std::string("unknown setting ") + key);
}

std::span<const char* const> loadOrder() {
    return kLoadOrder;
}
std::span<const char* const> saveOrder() {
    return kSaveOrder;
}

void copyEdited(const WallpaperSettings& from, WallpaperSettings& to) {
    for (const SettingEntry& entry : kTable)
        if (entry.edited)
            std::visit([&](auto member) { to.*member = from.*member; }, entry.field);
}

} // namespace SettingsTable

WallpaperSettings WallpaperSettings::defaults(const QString& defaultStartPath) {
    WallpaperSettings settings;
    for (const SettingEntry& entry : SettingsTable::all()) {
        std::visit(
            [&](auto member) {
                using Value = std::remove_reference_t<decltype(settings.*member)>;
                if constexpr (std::is_same_v<Value, QString>) {
                    const char* text = std::get<const char*>(entry.defaultValue);
                    settings.*member = text ? QString::fromUtf8(text) : defaultStartPath;
                } else {
                    settings.*member =
                        static_cast<Value>(std::get<std::int64_t>(entry.defaultValue));
                }
            },
            entry.field);
    }
    return settings;
}

WallpaperLayout WallpaperSettings::wallpaperLayout() const {
    WallpaperLayout layout(Layout);
    const bool isColour = FitColor.size() == 7 && FitColor.startsWith(u'#') &&
                          std::all_of(FitColor.begin() + 1, FitColor.end(), [](QChar c) {
                              return std::isxdigit(static_cast<unsigned char>(c.toLatin1()));
                          });
    if (isColour)
        layout.fitColor = FitColor.mid(1).toUInt(nullptr, 16);
    layout.neverEnlarge = NeverEnlarge != 0;
    layout.smartCrop = SmartCrop != 0;
    return layout;
}
