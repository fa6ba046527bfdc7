#pragma once

#include "worker/WallpaperSettings.h"

class Profile;

// Reads and writes the settings record in the profile section "Settings", key by key in the
// settings table's orders. An integer key that is absent, unreadable, outside 32 bits or all
// 32 bits set (-1) gives its default; a string key gives its default only when absent.
class SettingsStore {
public:
    SettingsStore(Profile& profile, QString defaultStartPath);

    WallpaperSettings load() const;
    void saveAll(const WallpaperSettings& settings);
    void saveFileListPos(std::int32_t position);

private:
    Profile& m_profile;
    QString m_defaultStartPath;
};
