#include "platform/UserSession.h"

// A desktop: keys come and go with the profile, and a user's session has a namespace of its own.
namespace platform {

void EnsureUserKey(LPCWSTR pszPath) {
    HKEY hKey = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, pszPath, 0, nullptr, 0, KEY_READ, nullptr, &hKey,
                          nullptr) == ERROR_SUCCESS)
        ::RegCloseKey(hKey);
}

bool ClaimInSession(LPCWSTR pszName, UniqueHandle& hClaim) {
    // This session only; an object name has at most MAX_PATH characters.
    WCHAR szName[MAX_PATH];
    ::wsprintfW(szName, L"Local\\%.250s", pszName);
    hClaim.Reset(::CreateMutexW(nullptr, FALSE, szName));
    // A claim that cannot be made at all does not keep the application from running.
    return !hClaim || ::GetLastError() != ERROR_ALREADY_EXISTS;
}

bool WindowAnswers(HWND hWnd, UINT uTimeoutMs) {
    DWORD_PTR dwResult = 0;
    return ::SendMessageTimeoutW(hWnd, WM_NULL, 0, 0, SMTO_NORMAL, uTimeoutMs, &dwResult) != 0;
}

} // namespace platform
