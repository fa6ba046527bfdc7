#pragma once

#include <QString>
#include <functional>
#include <optional>

// What the picture test found: the file to open and the upper-case path that derived names
// (the bitmap's) are made from.
struct PictureMatch {
    // The path as found, or for a shortcut the target's path as resolved: files are opened by
    // this path because file names are case-sensitive.
    QString path;
    QString upperPath;
    bool viaShortcut = false;
};

// Decides whether a path names a picture by looking for a picture type anywhere in an
// upper-case copy of it ("a.jpg.files/notes.txt" is one); a path containing ".lnk" is first
// resolved as a shortcut and counts as a picture when its target does.
class PictureTest {
public:
    using Resolver = std::function<QString(const QString& path)>;

    // `allTypes` adds MorePictureExtensions to the table's types.
    static std::optional<PictureMatch> test(const QString& path, const Resolver& resolve,
                                            bool allTypes = false);

    // What the test finds in a folder's own path, made once for all the files of a folder
    // walk: upper-casing goes character by character and no type holds a "/", so the test of
    // a path is that of its folder and that of its name.
    struct Folder {
        QString upper;
        bool shortcut = false;   // the folder's path holds the shortcut mark
        bool picture = false;    // ... a picture type of the table
        bool anyPicture = false; // ... any picture type
    };
    static Folder folder(const QString& folderPath);
    // The same verdict as test(path) for the file `name` in `folder`, whose full path is
    // `path` (the folder, "/" unless it ends with one, and the name).
    static std::optional<PictureMatch> test(const Folder& folder, const QString& path,
                                            const QString& name, const Resolver& resolve,
                                            bool allTypes = false);

    // The bitmap's file name for a picture: the last component of `upperPath`, with everything
    // from its last "." on replaced by ".bmp" (".bmp" is appended to a name without a dot).
    static QString bitmapName(const QString& upperPath);
    // The bitmap's file name for a picture of the URL list: the remote name up to its last
    // ".", in its own letter case, and ".bmp" (just ".bmp" for a name without a dot).
    static QString remoteBitmapName(const QString& remoteName);

    // The text after the last `separator` (all of it when there is none).
    static QString lastComponent(const QString& text, QChar separator);
};
