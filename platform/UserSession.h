#pragma once

#include "platform/Handle.h"

#include <windows.h>

// What a user's session guarantees on the handheld, and a desktop must make sure of itself.
namespace platform {

// Makes sure the key pszPath below HKEY_CURRENT_USER exists. The handheld's system creates its
// own keys; a desktop's fresh profile has none of them.
void EnsureUserKey(LPCWSTR pszPath);

// Claims the name for this process in the user's session and holds the claim in hClaim until it
// is closed; false when another process of the session holds it already.
bool ClaimInSession(LPCWSTR pszName, UniqueHandle& hClaim);

// Whether the thread of hWnd, a window of another process, handles a message within uTimeoutMs.
bool WindowAnswers(HWND hWnd, UINT uTimeoutMs);

} // namespace platform
