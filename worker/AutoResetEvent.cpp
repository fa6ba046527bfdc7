#include "worker/AutoResetEvent.h"

void AutoResetEvent::set() {
    {
        std::lock_guard lock(m_mutex);
        m_set = true;
    }
    m_condition.notify_one();
}

bool AutoResetEvent::tryConsume() {
    std::lock_guard lock(m_mutex);
    const bool wasSet = m_set;
    m_set = false;
    return wasSet;
}

void AutoResetEvent::wait() {
    std::unique_lock lock(m_mutex);
    m_condition.wait(lock, [this] { return m_set; });
    m_set = false;
}

bool AutoResetEvent::waitFor(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    if (!m_condition.wait_for(lock, timeout, [this] { return m_set; }))
        return false;
    m_set = false;
    return true;
}
