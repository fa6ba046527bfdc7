#pragma once

#include "platform/Autostart.h"

// An XDG autostart entry `Tessaron.desktop` in the user's autostart folder. Failures are
// silent: without the entry the program simply does not start at log-on.
class XdgAutostart final : public Autostart {
public:
    explicit XdgAutostart(QString autostartDir);

    void enable(const QString& programPath) override;
    void disable() override;

    QString entryPath() const;
    // The program's path as an Exec value: quoted, with the characters that quoting and the
    // entry format treat specially escaped.
    static QString execValue(const QString& programPath);

private:
    QString m_dir;
};
