#pragma once

#include <QtGlobal>

// Kept alive around the construction of the application object. When the toolkit cannot open
// its display there (it reports that as a fatal error and aborts, leaving a core dump), the
// process instead writes `failureLine`, with the toolkit's own reason in brackets, as its only
// line and ends with status 1. The toolkit's other messages meanwhile are held back, and passed
// on once the start has succeeded.
class ToolkitStartGuard {
public:
    explicit ToolkitStartGuard(const char* failureLine);
    ~ToolkitStartGuard();
    ToolkitStartGuard(const ToolkitStartGuard&) = delete;
    ToolkitStartGuard& operator=(const ToolkitStartGuard&) = delete;

    // Ends the guard: the held messages go out as they would have.
    void finish();

private:
    QtMessageHandler m_previous = nullptr;
    bool m_active = false;
};
