#pragma once

#include <cstdint>

// Counts one-second ticks towards the change interval. The interval is measured in ticks
// received, keeps counting while suspended, and is not reset when the interval changes.
// A pause (nobody can see the desktop) is different from Suspend: the count stands still and
// goes on from there afterwards, so the end of a pause brings no change of its own.
class ChangePacer {
public:
    // One timer tick; true when a change is due now (the count then restarts).
    bool tick(std::uint32_t intervalSeconds, bool paused = false);
    // "Change now": the count restarts; the caller signals the change, suspended or not.
    void changeNow() { m_ticks = 0; }
    void setSuspended(bool suspended) { m_suspended = suspended; }
    bool suspended() const { return m_suspended; }
    std::uint64_t ticks() const { return m_ticks; }
    // The ticks still to count before the next timed change (1 when it is due at the next).
    std::uint32_t ticksLeft(std::uint32_t intervalSeconds) const;

private:
    std::uint64_t m_ticks = 0;
    bool m_suspended = false;
};
