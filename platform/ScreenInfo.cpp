#include "platform/ScreenInfo.h"

ScreenMetrics ScreenInfo::metrics() const {
    std::lock_guard lock(m_mutex);
    return m_metrics;
}

void ScreenInfo::setMetrics(const ScreenMetrics& metrics) {
    std::lock_guard lock(m_mutex);
    m_metrics = metrics;
}
