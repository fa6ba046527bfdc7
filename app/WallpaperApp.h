#pragma once

// The application: start-up, the single-instance rule and the event loop.
class WallpaperApp {
public:
    // Runs the program; the process's exit status.
    static int main(int argc, char** argv);
};
