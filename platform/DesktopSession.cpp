#include "UserSession.h"

#include <string>

// A desktop: keys come and go with the profile, and a user's session has a namespace of its own.
namespace platform {

void EnsureUserKey(LPCWSTR pszPath) {
    HKEY hKey = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, pszPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hKey,
                          nullptr) == ERROR_SUCCESS)
        ::RegCloseKey(hKey);
}

bool ClaimInSession(LPCWSTR pszName, UniqueHandle& hClaim) {
    const std::wstring strName = std::wstring(L"Local\\") + pszName; // this session only
    hClaim.Reset(::CreateMutexW(nullptr, FALSE, strName.c_str()));
    // A claim that cannot be made at all does not keep the application from running.
    return !hClaim || ::GetLastError() != ERROR_ALREADY_EXISTS;
}

} // namespace platform
