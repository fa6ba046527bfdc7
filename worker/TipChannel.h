#pragma once

#include <QString>
#include <functional>
#include <mutex>

// Carries tray tips from any thread to the tray window. The window opens the channel with a
// receiver that queues the text to its own thread and closes it before it goes away; a tip
// posted after that is dropped.
class TipChannel {
public:
    using Receiver = std::function<void(const QString&)>;

    void open(Receiver receiver);
    void close();
    void post(const QString& text);

private:
    std::mutex m_mutex;
    Receiver m_receiver;
};
