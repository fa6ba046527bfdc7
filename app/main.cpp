#include "app/WallpaperApp.h"

#ifdef _WIN32
#include <cstdio>
#include <windows.h>

// A program without a console of its own: when started from one, its answers (help, the
// version, a request's result) go to that console, unless the starter gave it other handles.
static void useParentConsole() {
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if ((output && output != INVALID_HANDLE_VALUE) || !AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    std::freopen("CONOUT$", "w", stdout);
    std::freopen("CONOUT$", "w", stderr);
}
#endif

int main(int argc, char** argv) {
#ifdef _WIN32
    useParentConsole();
#endif
    return WallpaperApp::main(argc, argv);
}
