#pragma once

#include <string>

// For tests of the sandbox only: tries, from inside it, what a converter taken over by a hostile
// picture would try, and writes one line for each attempt: "probe NAME: allowed" or "probe
// NAME: refused (REASON)", on standard output (Linux) or as notices on standard error (Windows,
// where the converter is tested in its job). The file attacks aim at `folder/victim`, which
// the test makes; `picture` and `bitmap` are the descriptors the converter holds. On Linux it
// ends with an attempt to run a program, which ends this process when it is allowed.
class SandboxProbe {
public:
    static void run(const std::string& folder, int picture, int bitmap);
    // Makes the process fail as a hostile picture could make it: "crash", "hang", "spin" (burn
    // CPU time), "grow" (write the bitmap ever larger) or "allocate" (take memory until none is
    // left). Any other action does nothing.
    static void misbehave(const std::string& action, int bitmap);
};
