#include "platform/ScreenInfo.h"

#include <algorithm>

std::vector<ScreenMetrics> ScreenInfo::screens() const {
    std::lock_guard lock(m_mutex);
    return m_screens;
}

ScreenMetrics ScreenInfo::primary() const {
    std::lock_guard lock(m_mutex);
    return primaryOf(m_screens);
}

void ScreenInfo::setScreens(std::vector<ScreenMetrics> screens) {
    if (screens.empty())
        screens.push_back(ScreenMetrics{});
    sortForPictures(screens);
    std::lock_guard lock(m_mutex);
    m_screens = std::move(screens);
}

void ScreenInfo::sortForPictures(std::vector<ScreenMetrics>& screens) {
    std::stable_sort(screens.begin(), screens.end(),
                     [](const ScreenMetrics& a, const ScreenMetrics& b) {
                         if (a.origin.x() != b.origin.x())
                             return a.origin.x() < b.origin.x();
                         return a.origin.y() < b.origin.y();
                     });
}

ScreenMetrics ScreenInfo::primaryOf(const std::vector<ScreenMetrics>& screens) {
    const auto primary = std::find_if(screens.begin(), screens.end(),
                                      [](const ScreenMetrics& s) { return s.primary; });
    if (primary != screens.end())
        return *primary;
    return screens.empty() ? ScreenMetrics{} : screens.front();
}
