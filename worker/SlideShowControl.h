#pragma once

#include <chrono>

// How the tray window drives the slide show without knowing how it runs.
class SlideShowControl {
public:
    virtual ~SlideShowControl() = default;

    // Starts the first worker; it makes its first change at once.
    virtual void start() = 0;
    // Asks for the next change (ChangeEvent); several requests before the worker waits are one.
    virtual void requestChange() = 0;
    // Ends the running worker and starts a new one (the scan folder changed).
    virtual void restart() = 0;
    // Ends the running worker and waits for it at most `bound`; a change in progress is
    // finished or abandoned, never half applied, and nothing is applied after this returns.
    virtual void stop(std::chrono::milliseconds bound) = 0;
};
