#include "worker/TipChannel.h"

void TipChannel::open(Receiver receiver) {
    std::lock_guard lock(m_mutex);
    m_receiver = std::move(receiver);
}

void TipChannel::close() {
    std::lock_guard lock(m_mutex);
    m_receiver = nullptr;
}

void TipChannel::post(const QString& text) {
    std::lock_guard lock(m_mutex);
    if (m_receiver)
        m_receiver(text);
}
