#pragma once

#include <QProcess>
#include <functional>

// Polls `condition` (running the event loop) until it holds or `bound` passes.
bool waitUntil(const std::function<bool()>& condition, int boundMs = 20000);

// Waits for the process to end; true also when it had already ended.
bool waitForExit(QProcess& process, int boundMs = 20000);
