#include "converter/ConverterProgram.h"

int main(int argc, char** argv) {
    return ConverterProgram::run(argc, argv);
}
