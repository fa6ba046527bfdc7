#pragma once

#include "conversion/WallpaperLayout.h"
#include "platform/ScreenInfo.h"

#include <QSet>
#include <QString>
#include <cstdint>
#include <mutex>

class ConverterProcess;

// Turns one picture into a 24-bit bitmap sized for the wallpaper layout, by running the
// converter program: the picture is decoded in that process, never in this one. Safe to call
// from any thread, also from several at once.
class PictureConverter {
public:
    explicit PictureConverter(ConverterProcess& process);

    // Converts `picturePath` for `layout` on `screen` and writes the bitmap to `bitmapPath`. True
    // only when the bitmap was written; on false no bitmap is left behind and, unless abort() ended
    // it, one warning with the reason is logged. The bitmap is never larger than the screen: of a
    // picture that Centered or Tile shows only in part, only that part is written, and a bitmap
    // that the converter program made of another size than the layout gives on the screen (or
    // larger, where the picture's size decides), or other than the program's own 24-bit
    // bitmaps, is refused.
    bool ConvertPicture(const QString& picturePath, const QString& bitmapPath,
                        const WallpaperLayout& layout, const ScreenMetrics& screen);
    // Ends every conversion in progress at once; their calls return false. Any thread.
    void abort();

private:
    // What the converter said it had to do without is logged once, not at every change; at
    // most a few different notices are told (and kept).
    void logNotice(const QString& notice);

    ConverterProcess& m_process;
    std::mutex m_mutex;
    QSet<QString> m_noticesLogged;
};
