#pragma once

#include <windows.h>

// The road from the settings store to the registry. Every registry call of the settings code
// goes through the current route; the default route is the platform's own Reg*W calls. A test
// puts a route of its own in place to watch the calls or make one of them fail.
class CRegistryRoute {
public:
    constexpr CRegistryRoute() = default;

    virtual LONG OpenKey(HKEY hParent, LPCWSTR pszSubKey, REGSAM samDesired, PHKEY phKey);
    virtual LONG CreateKey(HKEY hParent, LPCWSTR pszSubKey, REGSAM samDesired, PHKEY phKey);
    // Reads at most *pcbData bytes without looking at the stored type.
    virtual LONG QueryValue(HKEY hKey, LPCWSTR pszName, LPBYTE pData, LPDWORD pcbData);
    virtual LONG SetValue(HKEY hKey, LPCWSTR pszName, DWORD dwType, const BYTE* pData,
                          DWORD cbData);
    virtual LONG EnumKey(HKEY hKey, DWORD dwIndex, LPWSTR pszName, LPDWORD pcchName);
    virtual LONG EnumValue(HKEY hKey, DWORD dwIndex, LPWSTR pszName, LPDWORD pcchName);
    virtual LONG DeleteKey(HKEY hParent, LPCWSTR pszSubKey);
    virtual LONG DeleteValue(HKEY hKey, LPCWSTR pszName);
    virtual LONG CloseKey(HKEY hKey);
    // Makes what the registry holds outlive a reset; the handheld's registry lives in memory.
    virtual LONG FlushKey(HKEY hKey);

protected:
    // Not virtual, so that a route without state of its own has nothing to tear down at exit; a
    // route is never deleted through this class.
    ~CRegistryRoute() = default;
};

// The current route.
CRegistryRoute& Registry();

// Puts pRoute in place of the current route and returns the one it replaces; nullptr restores
// the platform's own.
CRegistryRoute* SetRegistryRoute(CRegistryRoute* pRoute);
