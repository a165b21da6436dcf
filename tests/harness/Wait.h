#pragma once

#include <windows.h>

// Waits until pred() holds, polling; false when it still does not hold after timeoutMs.
// Time-outs are generous: they bound a failing test, they never pace a passing one.
template <typename Pred> bool WaitUntil(Pred pred, DWORD timeoutMs = 10000) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    while (!pred()) {
        if (::GetTickCount64() >= deadline)
            return false;
        ::Sleep(1);
    }
    return true;
}
