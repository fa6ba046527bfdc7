#include "app/SettingsStore.h"

#include "platform/Profile.h"

#include <limits>

namespace {

const QString kSection = QString::fromLatin1(SettingsTable::kSection);

// The 32-bit pattern of a stored integer, accepting both signed and unsigned decimal forms.
std::optional<std::uint32_t> asDword(std::optional<std::int64_t> stored) {
    if (!stored || *stored < std::numeric_limits<std::int32_t>::min() ||
        *stored > std::numeric_limits<std::uint32_t>::max())
        return std::nullopt;
    return static_cast<std::uint32_t>(*stored);
}

} // namespace

SettingsStore::SettingsStore(Profile& profile, QString defaultStartPath)
    : m_profile(profile), m_defaultStartPath(std::move(defaultStartPath)) {}

WallpaperSettings SettingsStore::load() const {
    WallpaperSettings settings = WallpaperSettings::defaults(m_defaultStartPath);
    for (const char* key : SettingsTable::loadOrder()) {
        const SettingEntry& entry = SettingsTable::find(key);
        const QString name = QString::fromLatin1(key);
        std::visit(
            [&](auto member) {
                using Value = std::remove_reference_t<decltype(settings.*member)>;
                if constexpr (std::is_same_v<Value, QString>) {
                    if (const auto text = m_profile.readString(kSection, name))
                        settings.*member = *text;
                } else {
                    const auto dword = asDword(m_profile.readInt(kSection, name));
                    if (dword && *dword != 0xFFFFFFFFu)
                        settings.*member = static_cast<Value>(*dword);
                }
            },
            entry.field);
    }
    return settings;
}

void SettingsStore::saveAll(const WallpaperSettings& settings) {
    for (const char* key : SettingsTable::saveOrder()) {
        const SettingEntry& entry = SettingsTable::find(key);
        const QString name = QString::fromLatin1(key);
        std::visit(
            [&](auto member) {
                using Value = std::remove_cvref_t<decltype(settings.*member)>;
                if constexpr (std::is_same_v<Value, QString>)
                    m_profile.writeString(kSection, name, settings.*member);
                else
                    m_profile.writeInt(kSection, name, static_cast<std::int64_t>(settings.*member));
            },
            entry.field);
    }
    m_profile.flush();
}

void SettingsStore::saveFileListPos(std::int32_t position) {
    m_profile.writeInt(kSection, QStringLiteral("CurFileListPos"), position);
    m_profile.flush();
}
