#include "app/ChangePacer.h"

bool ChangePacer::tick(std::uint32_t intervalSeconds, bool paused) {
    if (paused)
        return false;
    ++m_ticks;
    if (m_ticks >= intervalSeconds && !m_suspended) {
        m_ticks = 0;
        return true;
    }
    return false;
}

std::uint32_t ChangePacer::ticksLeft(std::uint32_t intervalSeconds) const {
    return m_ticks < intervalSeconds ? static_cast<std::uint32_t>(intervalSeconds - m_ticks) : 1;
}
