#include "platform/UserSession.h"

// The handheld's system exports the call under its plain name, with the wide signature.
#undef SendMessageTimeout
extern "C" __declspec(dllimport) LRESULT WINAPI
    SendMessageTimeout(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, UINT fuFlags,
                       UINT uTimeout, PDWORD_PTR pdwResult);

// The handheld: its system keeps the user's keys, and it has one session.
namespace platform {

void EnsureUserKey(LPCWSTR) {}

bool ClaimInSession(LPCWSTR pszName, UniqueHandle& hClaim) {
    hClaim.Reset(::CreateMutexW(nullptr, FALSE, pszName));
    // A claim that cannot be made at all does not keep the application from running.
    return !hClaim || ::GetLastError() != ERROR_ALREADY_EXISTS;
}

bool WindowAnswers(HWND hWnd, UINT uTimeoutMs) {
    DWORD_PTR dwResult = 0;
    return ::SendMessageTimeout(hWnd, WM_NULL, 0, 0, SMTO_NORMAL, uTimeoutMs, &dwResult) != 0;
}

} // namespace platform
