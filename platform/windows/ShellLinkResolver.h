#pragma once

#include "platform/ShortcutResolver.h"

#include <optional>

// Shell shortcuts (.lnk) followed through IShellLinkW and IPersistFile, never with a dialog or
// a search for a target that has moved. A shortcut to a shortcut is followed on to the file at
// the end of the chain. Any thread may call: each call enters the component library itself.
class ShellLinkResolver final : public ShortcutResolver {
public:
    ShellLinkResolver() = default;

    QString resolveShortcut(const QString& path) const override;

    // The target that the shortcut file at `path` names, empty for a shortcut to no file;
    // nothing when `path` is not a shortcut that loads.
    static std::optional<QString> targetOf(const QString& path);
};
