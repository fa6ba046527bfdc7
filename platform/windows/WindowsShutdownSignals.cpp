#include "platform/ShutdownSignals.h"

#include "platform/windows/HiddenWindow.h"

#include <QMetaObject>

#include <atomic>

// The end of the session reaches the program as WM_ENDSESSION on a top-level window: the
// process may be ended as soon as that returns, so the request is answered there, in full.
// A console's close, Ctrl+C and the console's log-off come on a thread of their own: the
// request is passed to the user-interface thread, and for a close the handler waits (within
// the few seconds the system allows) until the program has saved and taken this object down.
namespace {

std::atomic<ShutdownSignals*> g_signals{nullptr};
HANDLE g_ended = nullptr; // set once the program has answered a request

HiddenWindow* g_window = nullptr;

BOOL WINAPI onConsoleEvent(DWORD event) {
    ShutdownSignals* const target = g_signals.load();
    if (!target)
        return FALSE;
    QMetaObject::invokeMethod(target, &ShutdownSignals::terminationRequested, Qt::QueuedConnection);
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        WaitForSingleObject(g_ended, 4500);
    return TRUE;
}

} // namespace

ShutdownSignals::ShutdownSignals(QObject* parent) : QObject(parent) {
    g_ended = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_signals.store(this);
    g_window = new HiddenWindow(nullptr, [this](UINT message, WPARAM wParam, LPARAM) {
        std::optional<LRESULT> answer;
        if (message == WM_QUERYENDSESSION) {
            answer = TRUE;
        } else if (message == WM_ENDSESSION) {
            if (wParam)
                emit terminationRequested();
            answer = 0;
        }
        return answer;
    });
    SetConsoleCtrlHandler(&onConsoleEvent, TRUE);
}

ShutdownSignals::~ShutdownSignals() {
    g_signals.store(nullptr);
    if (g_ended)
        SetEvent(g_ended);
    SetConsoleCtrlHandler(&onConsoleEvent, FALSE);
    delete g_window;
    g_window = nullptr;
}
