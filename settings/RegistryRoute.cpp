#include "settings/RegistryRoute.h"

#include "platform/HandheldForms.h"

#include <atomic>
#include <type_traits>

namespace {

// The worker thread writes through the route while the user-interface thread may swap it.
std::atomic<CRegistryRoute*> g_pRoute{nullptr};
// The platform's own calls, in an object that is never torn down: the settings object's worker
// may still write through it while the settings object ends at exit, after every static
// destructor of this file would have run.
class CPlatformRegistryRoute final : public CRegistryRoute {};
static_assert(std::is_trivially_destructible_v<CPlatformRegistryRoute>,
              "the platform's route outlives every static");
// Constant-initialised, so usable before any constructor runs.
CPlatformRegistryRoute g_platformRoute;

} // namespace

LONG CRegistryRoute::OpenKey(HKEY hParent, LPCWSTR pszSubKey, REGSAM samDesired, PHKEY phKey) {
    return ::RegOpenKeyExW(hParent, pszSubKey, 0, platform::KeyAccess(samDesired), phKey);
}

LONG CRegistryRoute::CreateKey(HKEY hParent, LPCWSTR pszSubKey, REGSAM samDesired, PHKEY phKey) {
    return ::RegCreateKeyExW(hParent, pszSubKey, 0, nullptr, 0, platform::KeyAccess(samDesired),
                             nullptr, phKey, nullptr);
}

LONG CRegistryRoute::QueryValue(HKEY hKey, LPCWSTR pszName, LPBYTE pData, LPDWORD pcbData) {
    return ::RegQueryValueExW(hKey, pszName, nullptr, nullptr, pData, pcbData);
}

LONG CRegistryRoute::SetValue(HKEY hKey, LPCWSTR pszName, DWORD dwType, const BYTE* pData,
                              DWORD cbData) {
    return ::RegSetValueExW(hKey, pszName, 0, dwType, pData, cbData);
}

LONG CRegistryRoute::EnumKey(HKEY hKey, DWORD dwIndex, LPWSTR pszName, LPDWORD pcchName) {
    return ::RegEnumKeyExW(hKey, dwIndex, pszName, pcchName, nullptr, nullptr, nullptr, nullptr);
}

LONG CRegistryRoute::EnumValue(HKEY hKey, DWORD dwIndex, LPWSTR pszName, LPDWORD pcchName) {
    return ::RegEnumValueW(hKey, dwIndex, pszName, pcchName, nullptr, nullptr, nullptr, nullptr);
}

LONG CRegistryRoute::DeleteKey(HKEY hParent, LPCWSTR pszSubKey) {
    return ::RegDeleteKeyW(hParent, pszSubKey);
}

LONG CRegistryRoute::DeleteValue(HKEY hKey, LPCWSTR pszName) {
    return ::RegDeleteValueW(hKey, pszName);
}

LONG CRegistryRoute::CloseKey(HKEY hKey) { return ::RegCloseKey(hKey); }

LONG CRegistryRoute::FlushKey(HKEY hKey) { return ::RegFlushKey(hKey); }

CRegistryRoute& Registry() {
    CRegistryRoute* const pRoute = g_pRoute.load();
    return pRoute ? *pRoute : g_platformRoute;
}

CRegistryRoute* SetRegistryRoute(CRegistryRoute* pRoute) { return g_pRoute.exchange(pRoute); }
