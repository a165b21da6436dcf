#include "platform/UserSession.h"

// The handheld: its system keeps the user's keys, and it has one session.
namespace platform {

void EnsureUserKey(LPCWSTR) {}

bool ClaimInSession(LPCWSTR pszName, UniqueHandle& hClaim) {
    hClaim.Reset(::CreateMutexW(nullptr, FALSE, pszName));
    // A claim that cannot be made at all does not keep the application from running.
    return !hClaim || ::GetLastError() != ERROR_ALREADY_EXISTS;
}

} // namespace platform
