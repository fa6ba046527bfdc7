#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

// Whether a graphical session can be reached, checked before the toolkit starts (the toolkit
// aborts the process when it cannot open its display).
//
// An X server left without clients resets itself, and a reset drops the connections still
// being set up. A probe that closed its connection at once would, on a display nobody else
// uses, set off that reset just as the toolkit connects. So the probe keeps its connection
// open until release(), called once the toolkit holds its own.
class DisplayProbe {
public:
    DisplayProbe();
    ~DisplayProbe();
    DisplayProbe(const DisplayProbe&) = delete;
    DisplayProbe& operator=(const DisplayProbe&) = delete;

    // True when a display can be opened; otherwise `reason` says why. A Wayland compositor
    // that answers on its socket comes first, then the X display.
    bool canOpenDisplay(QString* reason);
    // The toolkit platform for the display found ("wayland", "xcb"), when the user chose none
    // (QT_QPA_PLATFORM); empty otherwise.
    QByteArray toolkitPlatform() const { return m_platform; }
    // Closes the connection the probe kept.
    void release();

private:
    struct Connection;
    std::unique_ptr<Connection> m_connection;
    QByteArray m_platform;
};
