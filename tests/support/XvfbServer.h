#pragma once

#include <QProcess>
#include <QString>

// A private X display for one test: Xvfb on the first free display number.
class XvfbServer {
public:
    explicit XvfbServer(const QString& screen = QStringLiteral("640x480x24"));
    ~XvfbServer();

    bool isRunning() const { return !m_display.isEmpty(); }
    QString display() const { return m_display; }

private:
    QProcess m_process;
    QString m_display;
};
