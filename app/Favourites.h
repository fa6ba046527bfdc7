#pragma once

#include <QString>

// The folder "Copy to Favourites" fills: each picture once, as a hard link where the folder is
// on the picture's file system (no space taken, and it stays when the picture goes), else as a
// copy. A name already taken by another picture gets a number: "sea (2).jpg".
class Favourites {
public:
    // "Tessaron Favourites" in the user's pictures folder (in the home folder without one).
    static QString defaultFolder();
    // The folder the setting names, or the default one for an empty setting.
    static QString folderFor(const QString& setting);

    struct Added {
        QString path;         // where the picture is in the folder now
        bool already = false; // it was there before, under this name
        QString error;        // why nothing was added; empty otherwise
    };
    // Puts the picture `file` into `folder` under the name `name` (its folder made when
    // needed), unless a file of the same content is there already.
    static Added add(const QString& file, const QString& name, const QString& folder);
};
