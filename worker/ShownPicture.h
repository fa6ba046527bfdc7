#pragma once

#include <QString>
#include <cstdint>

// The source a picture came from.
enum class PictureKind : std::int32_t { FolderWalk = 0, FileList = 1, UrlList = 2 };

// One picture of a change as the slide show showed it. The first three fields are what the
// history keeps; the others describe the change just made and are empty in a picture read
// back from the history's file.
struct ShownPicture {
    PictureKind kind = PictureKind::FolderWalk;
    // As its source names it: the path the folder walk met (a link's own path), the list
    // entry's text.
    QString name;
    // The screen it was shown on; with one picture for every screen, the primary one.
    QString screen{};
    // The file converted: the picture (a link's target), or a URL-list picture's downloaded
    // copy, which stays until the next change.
    QString file{};
    // The bitmap the desktop was given for it.
    QString bitmap{};
    // The bitmap made for its screen alone; it exists only while the change is announced.
    QString screenBitmap{};

    // The name the tip shows: the last part of the source's name.
    QString displayName() const;
    bool isLocalFile() const { return kind != PictureKind::UrlList; }

    bool operator==(const ShownPicture&) const = default;
};
