#pragma once

#include <QString>

// What the desktop does with a file the user points at: open it in the program the desktop
// has for its type, show it in the file manager, move it to the trash. Each call returns at
// once; what the desktop refuses later is logged (tessaron.platform).
class DesktopShell {
public:
    virtual ~DesktopShell() = default;

    // Opens the file in the desktop's default program for its type.
    virtual void openFile(const QString& path) = 0;
    // Shows the file manager with the file selected, or else the file's folder.
    virtual void showInFolder(const QString& path) = 0;
    // Moves the file to the user's trash, from where it can be put back; never deletes it.
    // False, with the reason in `whyNot`, when the file stays where it is.
    virtual bool moveToTrash(const QString& path, QString* whyNot) = 0;
};
