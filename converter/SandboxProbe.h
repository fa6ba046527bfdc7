#pragma once

#include <string>

// For tests of the sandbox only: tries, from inside it, what a converter taken over by a hostile
// picture would try, and writes one line for each attempt on standard output: "probe NAME:
// allowed" or "probe NAME: refused (REASON)". The file attacks aim at `folder/victim`, which
// the test makes; `picture` and `bitmap` are the descriptors the converter holds. Ends with an
// attempt to run a program, which ends this process when it is allowed.
class SandboxProbe {
public:
    static void run(const std::string& folder, int picture, int bitmap);
};
