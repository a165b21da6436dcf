#pragma once

#include <windows.h>

#include <cwchar>

// A time-out widened by MUNTARA_WAIT_SCALE: under full-system emulation every program runs many
// times slower than here, and a bound that only stops a failing test may grow with it.
inline DWORD ScaledTimeout(DWORD timeoutMs) {
    static const DWORD scale = [] {
        wchar_t szScale[8] = {};
        const DWORD cch = ::GetEnvironmentVariableW(L"MUNTARA_WAIT_SCALE", szScale, 8);
        const long n = cch > 0 && cch < 8 ? std::wcstol(szScale, nullptr, 10) : 1;
        return static_cast<DWORD>(n >= 1 && n <= 100 ? n : 1);
    }();
    return timeoutMs * scale;
}

// Waits until pred() holds, polling; false when it still does not hold after timeoutMs (scaled).
// Time-outs are generous: they bound a failing test, they never pace a passing one.
template <typename Pred> bool WaitUntil(Pred pred, DWORD timeoutMs = 10000) {
    const ULONGLONG deadline = ::GetTickCount64() + ScaledTimeout(timeoutMs);
    while (!pred()) {
        if (::GetTickCount64() >= deadline)
            return false;
        ::Sleep(1);
    }
    return true;
}
