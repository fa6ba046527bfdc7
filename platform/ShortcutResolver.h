#pragma once

#include <QString>

// Follows a shortcut file to the file it stands for. Any thread may call it.
class ShortcutResolver {
public:
    virtual ~ShortcutResolver() = default;

    // The absolute path of the shortcut's final target. A shortcut that cannot be followed
    // (not a shortcut, a broken one, a loop) gives an empty path, which no file has.
    virtual QString resolveShortcut(const QString& path) const = 0;
};
