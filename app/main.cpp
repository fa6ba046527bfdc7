#include "app/WallpaperApp.h"

int main(int argc, char** argv) {
    return WallpaperApp::main(argc, argv);
}
