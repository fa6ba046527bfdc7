#pragma once

#include <QString>

#include <objbase.h>

// The component library on the calling thread for the span of one call. A thread that is in
// an apartment already (Qt's user-interface thread is single-threaded) is simply joined; any
// other enters a single-threaded one, which the shell's objects ask for, and leaves it again.
class ComApartment {
public:
    ComApartment()
        : m_result(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ~ComApartment() {
        if (SUCCEEDED(m_result))
            ::CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

    // False only when the thread cannot use the component library at all.
    bool ok() const { return SUCCEEDED(m_result) || m_result == RPC_E_CHANGED_MODE; }
    HRESULT result() const { return m_result; }

private:
    HRESULT m_result;
};

// A component library result as the log shows it.
inline QString hresultText(HRESULT result) {
    return QStringLiteral("0x%1").arg(static_cast<quint32>(result), 8, 16, QLatin1Char('0'));
}
