#include "wallpaper/PreviousLockScreen.h"

#include "platform/LockScreenPicture.h"
#include "platform/Profile.h"

namespace {

const QString kSectionName = QString::fromLatin1(PreviousLockScreen::kSection);
const QString kKey = QString::fromLatin1(PreviousLockScreen::kLockScreen);

} // namespace

void PreviousLockScreen::store() {
    const std::lock_guard lock(m_mutex);
    m_showing = true;
    if (m_profile.readString(kSectionName, kKey))
        return;
    if (const std::optional<QString> record = m_lockScreen.read()) {
        m_profile.writeString(kSectionName, kKey, *record);
        m_profile.flush();
    }
}

void PreviousLockScreen::restore() {
    const std::lock_guard lock(m_mutex);
    m_showing = false;
    const std::optional<QString> record = m_profile.readString(kSectionName, kKey);
    // A restore the desktop refuses keeps the record for a later one.
    if (!record || !m_lockScreen.restore(*record))
        return;
    m_profile.remove(kSectionName, kKey);
    m_profile.flush();
}

void PreviousLockScreen::show(const std::vector<ScreenBitmap>& screens) {
    const std::lock_guard lock(m_mutex);
    if (m_showing)
        m_lockScreen.show(screens);
}
