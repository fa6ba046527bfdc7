#pragma once

// The converter program: converts one picture into one bitmap, as ConversionRequest describes
// its command line, inside a sandbox. It opens the picture, the bitmap's folder and the bitmap
// first, then initialises the picture library, then closes itself off (ProcessSandbox) and
// only then reads the picture. It reports through its exit status (0 when the bitmap was
// written, 1 when not, 2 for a command line it does not understand) and, when it fails, one
// line on standard error; "notice: " lines say what it had to do without. A bitmap begun
// inside the sandbox cannot be removed from there: on failure the caller removes it.
class ConverterProgram {
public:
    static int run(int argc, const char* const* argv);
};
