#pragma once

#include <cstdint>

// Counts one-second ticks towards the change interval. The interval is measured in ticks
// received, keeps counting while suspended, and is not reset when the interval changes.
class ChangePacer {
public:
    // One timer tick; true when a change is due now (the count then restarts).
    bool tick(std::uint32_t intervalSeconds);
    // "Change now": the count restarts; the caller signals the change, suspended or not.
    void changeNow() { m_ticks = 0; }
    void toggleSuspended() { m_suspended = !m_suspended; }
    bool suspended() const { return m_suspended; }
    std::uint64_t ticks() const { return m_ticks; }

private:
    std::uint64_t m_ticks = 0;
    bool m_suspended = false;
};
