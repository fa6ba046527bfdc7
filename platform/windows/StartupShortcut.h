#pragma once

#include "platform/Autostart.h"

// The shell shortcut "Tessaron.lnk" in the user's Startup folder, made through IShellLinkW and
// IPersistFile: it points at the program and is described as "Descriptor". Failures are
// logged (tessaron.platform) and otherwise silent: without the shortcut the program simply
// does not start at log-on.
class StartupShortcut final : public Autostart {
public:
    explicit StartupShortcut(const QString& startupDir);

    void enable(const QString& programPath) override;
    void disable() override;

    QString shortcutPath() const;

private:
    QString m_dir;
};
