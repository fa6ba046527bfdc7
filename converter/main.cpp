#include "converter/ConverterProgram.h"

#include <cstdlib>

#if defined(__SANITIZE_THREAD__)
// The converter's threads are libvips', whose locking ThreadSanitizer cannot see, and inside the
// sandbox it can neither name a frame nor write a log: its reports here are noise that would end
// the conversion. The program and the tests stay checked.
extern "C" const char* __tsan_default_options() {
    return "report_bugs=0";
}
#endif

#ifdef _WIN32
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <string>
#include <vector>

// File names come as UTF-8 on every system: here from the wide command line, which the narrow
// one would spell in the code page of the system.
int main() {
    // Lines end in '\n' alone, as the program that reads them expects.
    ::_setmode(1, _O_BINARY);
    ::_setmode(2, _O_BINARY);
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 0; wide && i < count; ++i) {
        const int size =
            ::WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string argument(size > 0 ? static_cast<std::size_t>(size) : 1, '\0');
        ::WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, argument.data(), size, nullptr, nullptr);
        argument.resize(argument.size() - 1);
        arguments.push_back(std::move(argument));
    }
    ::LocalFree(wide);
    std::vector<const char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(argument.c_str());
    argv.push_back(nullptr);
    std::_Exit(ConverterProgram::run(count, argv.data()));
}
#else
int main(int argc, char** argv) {
    // Ends without running exit handlers: nothing is left to flush, and some (a leak checker's)
    // would need what the sandbox refuses.
    std::_Exit(ConverterProgram::run(argc, argv));
}
#endif
