#include "platform/windows/HiddenWindow.h"

#include "platform/LogCategories.h"

#include <mutex>

namespace {
const wchar_t kClassName[] = L"TessaronHiddenWindow";
}

HiddenWindow::HiddenWindow(const wchar_t* title, Handler handler) : m_handler(std::move(handler)) {
    static std::once_flag registered;
    std::call_once(registered, [] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = &HiddenWindow::procedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kClassName;
        RegisterClassExW(&windowClass);
    });
    // Never shown, and a tool window, so that it stays out of the taskbar and Alt+Tab.
    m_window = CreateWindowExW(WS_EX_TOOLWINDOW, kClassName, title, WS_POPUP, 0, 0, 0, 0, nullptr,
                               nullptr, GetModuleHandleW(nullptr), this);
    if (!m_window)
        qCWarning(lcPlatform) << "could not make a hidden window, error" << GetLastError();
}

HiddenWindow::~HiddenWindow() {
    if (m_window) {
        SetWindowLongPtrW(m_window, GWLP_USERDATA, 0);
        DestroyWindow(m_window);
    }
}

LRESULT CALLBACK HiddenWindow::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
    }
    auto* self = reinterpret_cast<HiddenWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && self->m_handler) {
        if (const std::optional<LRESULT> answer = self->m_handler(message, wParam, lParam))
            return *answer;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
