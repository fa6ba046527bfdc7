#pragma once

#include <QString>

// The per-user entry that starts the program with every log-on.
class Autostart {
public:
    virtual ~Autostart() = default;

    // Creates or replaces the entry so that it starts the program at `programPath`.
    virtual void enable(const QString& programPath) = 0;
    // Removes the entry if there is one.
    virtual void disable() = 0;
};
