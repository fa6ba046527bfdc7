#pragma once

#include <functional>
#include <optional>

#include <windows.h>

// A hidden top-level window of the user-interface thread, whose messages go to `handler`
// (what it does not answer gets the default handling). Top-level, not message-only: the
// system's broadcasts (the session's end, power changes) reach only top-level windows. Qt's
// event loop dispatches its messages like those of any window of the thread.
class HiddenWindow {
public:
    using Handler = std::function<std::optional<LRESULT>(UINT message, WPARAM, LPARAM)>;

    HiddenWindow(const wchar_t* title, Handler handler);
    ~HiddenWindow();
    HiddenWindow(const HiddenWindow&) = delete;
    HiddenWindow& operator=(const HiddenWindow&) = delete;

    // Null when the system refused to make the window.
    HWND handle() const { return m_window; }

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM, LPARAM);

    Handler m_handler;
    HWND m_window = nullptr;
};
