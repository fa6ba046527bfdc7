#pragma once

#include "conversion/ScreenArea.h"
#include "conversion/WallpaperLayout.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// One picture to convert into one bitmap for one screen: what the main program asks of the
// converter program, and the converter program's command line. File names are bytes, passed
// exactly as the file system has them. Plain C++ (no Qt): the converter program starts for
// every change and loads only what it needs.
//
//   tessaron-convert [--layout N] [--screen WxH] [--work-area L,T,R,B] [--fit-color RRGGBB]
//                    [--never-enlarge 0|1] [--smart-crop 0|1] [--desktop L,T,R,B]
//                    [--place L,T,R,B] [--test ACTION] [--] PICTURE BITMAP
// Options left out take their defaults: those of WallpaperLayout, and the screen's whole area.
struct ConversionRequest {
    std::string picture;
    std::string bitmap;
    WallpaperLayout layout{static_cast<std::int32_t>(ImageLayout::FitOnDesktop)};
    ScreenArea screen;
    // Only for tests of the converter program itself: "crash", "hang", "spin" (burn CPU time),
    // "allocate" (take memory until none is left), "grow" (write the bitmap ever larger), or
    // "probe:FOLDER" (try what its sandbox forbids, on files in FOLDER among it). Empty for
    // every real conversion.
    std::string test;

    std::vector<std::string> arguments() const;
    // The size of the bitmap this request gives (see WallpaperLayout::bitmapBound).
    WallpaperLayout::BitmapBound bitmapBound() const { return layout.bitmapBound(screen.screen); }
    // The request a command line (without the program name) asks for; nothing, with the reason
    // in `error`, when it is not one.
    static std::optional<ConversionRequest> parse(std::span<const char* const> arguments,
                                                  std::string* error);
};
