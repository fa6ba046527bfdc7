#pragma once

#include "platform/ControlTarget.h"

#include <QHash>

#include <functional>

class PictureActions;
class ScreenInfo;
class TrayWindow;

// What the running copy does for key bindings, scripts and the command line, whichever channel
// brings the request. Every method returns at once: dialogs open from a queued call and Quit
// ends the program after its answer has gone out. The actions on the picture on the screen
// (the first screen's, with a picture on each) answer why not when they do not apply.
class ProgramControl : public ControlTarget {
public:
    ProgramControl(TrayWindow& window, const ScreenInfo& screens, PictureActions& pictures);

    QString call(const QString& method) override;
    ControlStatus status() const override;

private:
    QStringList screens() const;

    TrayWindow& m_window;
    const ScreenInfo& m_screens;
    PictureActions& m_pictures;
    // By method name; each returns why it did not apply, or nothing.
    QHash<QString, std::function<QString()>> m_actions;
};
