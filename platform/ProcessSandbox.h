#pragma once

#include <string>

// Confines the calling process for the rest of its life, once it has opened every file it
// needs: afterwards it can open no file by name, change no file but through the descriptors it
// holds, has no network, starts no program and no process, signals and looks into no other
// process. For the converter program, which decodes pictures that anyone may have made. Plain
// C++ (no Qt), like the converter program.
class ProcessSandbox {
public:
    struct Result {
        bool entered = false;
        // Why it could not be entered (then the process must not go on).
        std::string error;
        // Set when part of it is missing because the system does not offer it: the process
        // still runs, less confined.
        std::string notice;
    };

    // Must be called while the process has one thread.
    static Result enter();
    // The limit on the memory the process may take, in words ("the address-space limit of
    // 1024 MiB"); empty when there is none.
    static std::string memoryLimit();
};
