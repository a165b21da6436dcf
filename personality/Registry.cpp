// COREDLL.dll's registry calls. The handheld's registry has no security and no options: the
// arguments for them are reserved and must be 0 or NULL, and every key opens with full access.
// Deleting a key deletes its subkeys with it.
#include "personality/Coredll.h"

namespace {

void Reserved(const char* pszCall, const char* pszArgument, DWORD_PTR value) {
    if (value)
        PersonalityViolation(pszCall, "%s 0x%lx: the handheld reserves it and wants 0", pszArgument,
                             static_cast<unsigned long>(value));
}

DWORD_PTR Word(const void* p) { return reinterpret_cast<DWORD_PTR>(p); }

} // namespace

extern "C" {

LONG __cdecl HandheldRegOpenKeyExW(HKEY hKey, LPCWSTR pszSubKey, DWORD dwOptions, REGSAM samDesired,
                                   PHKEY phResult) {
    Reserved("RegOpenKeyExW", "ulOptions", dwOptions);
    Reserved("RegOpenKeyExW", "samDesired", samDesired);
    return ::RegOpenKeyExW(hKey, pszSubKey, 0, KEY_ALL_ACCESS, phResult);
}

LONG __cdecl HandheldRegCreateKeyExW(HKEY hKey, LPCWSTR pszSubKey, DWORD dwReserved,
                                     LPWSTR pszClass, DWORD dwOptions, REGSAM samDesired,
                                     LPSECURITY_ATTRIBUTES pSecurity, PHKEY phResult,
                                     LPDWORD pdwDisposition) {
    Reserved("RegCreateKeyExW", "Reserved", dwReserved);
    Reserved("RegCreateKeyExW", "dwOptions", dwOptions & ~REG_OPTION_VOLATILE);
    Reserved("RegCreateKeyExW", "samDesired", samDesired);
    Reserved("RegCreateKeyExW", "lpSecurityAttributes", Word(pSecurity));
    return ::RegCreateKeyExW(hKey, pszSubKey, 0, pszClass, dwOptions & REG_OPTION_VOLATILE,
                             KEY_ALL_ACCESS, nullptr, phResult, pdwDisposition);
}

LONG __cdecl HandheldRegQueryValueExW(HKEY hKey, LPCWSTR pszName, LPDWORD pReserved,
                                      LPDWORD pdwType, LPBYTE pData, LPDWORD pcbData) {
    Reserved("RegQueryValueExW", "lpReserved", Word(pReserved));
    return ::RegQueryValueExW(hKey, pszName, nullptr, pdwType, pData, pcbData);
}

LONG __cdecl HandheldRegSetValueExW(HKEY hKey, LPCWSTR pszName, DWORD dwReserved, DWORD dwType,
                                    const BYTE* pData, DWORD cbData) {
    Reserved("RegSetValueExW", "Reserved", dwReserved);
    return ::RegSetValueExW(hKey, pszName, 0, dwType, pData, cbData);
}

LONG __cdecl HandheldRegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR pszName, LPDWORD pcchName,
                                   LPDWORD pReserved, LPWSTR pszClass, LPDWORD pcchClass,
                                   PFILETIME pLastWrite) {
    Reserved("RegEnumKeyExW", "lpReserved", Word(pReserved));
    return ::RegEnumKeyExW(hKey, dwIndex, pszName, pcchName, nullptr, pszClass, pcchClass,
                           pLastWrite);
}

LONG __cdecl HandheldRegEnumValueW(HKEY hKey, DWORD dwIndex, LPWSTR pszName, LPDWORD pcchName,
                                   LPDWORD pReserved, LPDWORD pdwType, LPBYTE pData,
                                   LPDWORD pcbData) {
    Reserved("RegEnumValueW", "lpReserved", Word(pReserved));
    return ::RegEnumValueW(hKey, dwIndex, pszName, pcchName, nullptr, pdwType, pData, pcbData);
}

LONG __cdecl HandheldRegDeleteKeyW(HKEY hKey, LPCWSTR pszSubKey) {
    if (!pszSubKey || !*pszSubKey)
        return ERROR_INVALID_PARAMETER; // the handheld deletes a named subkey, never hKey itself
    return ::RegDeleteTreeW(hKey, pszSubKey);
}

} // extern "C"
