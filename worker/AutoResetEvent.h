#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

// An event that stays set until one waiter consumes it; setting it again before then has no
// further effect, so several requests before a wait count as one.
class AutoResetEvent {
public:
    void set();
    // Consumes the event if it is set, without waiting.
    bool tryConsume();
    void wait();
    // Waits at most `timeout`; true when the event was consumed.
    bool waitFor(std::chrono::milliseconds timeout);

private:
    std::mutex m_mutex;
    std::condition_variable m_condition;
    bool m_set = false;
};
