#include "platform/SingleInstanceLock.h"

#include "platform/windows/HiddenWindow.h"

namespace {
const wchar_t kMarkerTitle[] = L"Hide";
}

struct SingleInstanceLock::Holder {
    HiddenWindow window{kMarkerTitle, {}};
};

SingleInstanceLock::SingleInstanceLock(const QString&, const QString&) {}

SingleInstanceLock::~SingleInstanceLock() = default;

SingleInstanceLock::Result SingleInstanceLock::tryLock() {
    if (m_holder)
        return Result::Acquired;
    // Copies started together look and make the window one at a time, so that one of them
    // wins; a copy that cannot have the mutex still looks.
    const HANDLE mutex = CreateMutexW(nullptr, FALSE, L"Local\\Tessaron.SingleInstance");
    if (mutex)
        WaitForSingleObject(mutex, 10000);
    Result result = Result::HeldElsewhere;
    if (!FindWindowW(nullptr, kMarkerTitle)) {
        m_holder = std::make_unique<Holder>();
        if (!m_holder->window.handle()) {
            m_holder.reset();
            result = Result::Unavailable;
        } else {
            result = Result::Acquired;
        }
    }
    if (mutex) {
        ReleaseMutex(mutex);
        CloseHandle(mutex);
    }
    return result;
}
