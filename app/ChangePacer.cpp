#include "app/ChangePacer.h"

bool ChangePacer::tick(std::uint32_t intervalSeconds) {
    ++m_ticks;
    if (m_ticks >= intervalSeconds && !m_suspended) {
        m_ticks = 0;
        return true;
    }
    return false;
}
