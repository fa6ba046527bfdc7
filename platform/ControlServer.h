#pragma once

class ControlTarget;

// The running copy's end of the control channel: takes requests from the command line, key
// bindings and scripts of the same user and hands them to the target.
class ControlServer {
public:
    virtual ~ControlServer() = default;

    // Starts taking requests for `target`, which outlives the server; false (logged) when the
    // channel cannot be opened or another program holds its name, and the program then runs
    // without it.
    virtual bool publish(ControlTarget& target) = 0;
};
