#pragma once

#include "platform/ShortcutResolver.h"

// On Linux a shortcut is a symbolic link: it resolves through every link in the chain.
class SymlinkShortcutResolver final : public ShortcutResolver {
public:
    QString resolveShortcut(const QString& path) const override;
};
