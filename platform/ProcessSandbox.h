#pragma once

#include <string>

// Confines the calling process for the rest of its life, once it has opened every file it
// needs: afterwards it can open no file by name (for reading or writing) and may only remove
// files from one folder, has no network, starts no program and no process, and can look into
// no other process. For the converter program, which decodes pictures that anyone may have
// made. Plain C++ (no Qt), like the converter program.
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

    // `removableFolder` is a descriptor of the folder whose files may still be removed (the
    // bitmap being written, should it fail). Must be called while the process has one thread.
    static Result enter(int removableFolder);
};
