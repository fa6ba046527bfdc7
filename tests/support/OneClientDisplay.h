#pragma once

#include <QString>
#include <thread>

// An X display that lets its first client through to a real X server and closes every later
// connection at once: a display that goes away right after the first look at it.
class OneClientDisplay {
public:
    // `upstream` is the real display (":N") the first client is passed to.
    explicit OneClientDisplay(const QString& upstream);
    ~OneClientDisplay();
    OneClientDisplay(const OneClientDisplay&) = delete;
    OneClientDisplay& operator=(const OneClientDisplay&) = delete;

    bool isRunning() const { return !m_display.isEmpty(); }
    QString display() const { return m_display; }

private:
    void run();

    QString m_upstreamPath;
    QString m_path;
    QString m_display;
    int m_listener = -1;
    int m_stop[2] = {-1, -1};
    std::thread m_thread;
};
