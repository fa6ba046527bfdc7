#pragma once

#include <QObject>

class QSocketNotifier;

// Turns the system's requests to terminate (SIGTERM, SIGINT, SIGHUP on Linux) into a signal
// on the user-interface thread, where the program can save and end in order.
class ShutdownSignals : public QObject {
    Q_OBJECT

public:
    explicit ShutdownSignals(QObject* parent = nullptr);
    ~ShutdownSignals() override;

signals:
    void terminationRequested();

private:
    QSocketNotifier* m_notifier = nullptr;
};
