#pragma once

#include <objbase.h>

// COM on this thread for one scope, for the platform's imaging component (its objects are
// free-threaded, so a multithreaded apartment serves). Shared by muntara-shot and its tests.
class ComScope {
public:
    ComScope() : m_hr(::CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(m_hr))
            ::CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

    HRESULT Status() const { return m_hr; }

private:
    const HRESULT m_hr;
};
