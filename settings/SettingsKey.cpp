#include "settings/SettingsKey.h"

#include "settings/RegistryRoute.h"

#include <cwchar>

CSettingsKey& CSettingsKey::operator=(CSettingsKey&& other) noexcept {
    if (this != &other) {
        Close();
        m_hKey = other.m_hKey;
        other.m_hKey = nullptr;
    }
    return *this;
}

LONG CSettingsKey::Open(HKEY hParent, LPCWSTR pszSubKey, REGSAM samDesired) {
    HKEY hKey = nullptr;
    const LONG lStatus = Registry().OpenKey(hParent, pszSubKey, samDesired, &hKey);
    return Hold(lStatus, hKey);
}

LONG CSettingsKey::Create(HKEY hParent, LPCWSTR pszSubKey, REGSAM samDesired) {
    HKEY hKey = nullptr;
    const LONG lStatus = Registry().CreateKey(hParent, pszSubKey, samDesired, &hKey);
    return Hold(lStatus, hKey);
}

LONG CSettingsKey::Hold(LONG lStatus, HKEY hKey) {
    if (lStatus != ERROR_SUCCESS)
        return lStatus;
    const LONG lClosed = Close();
    m_hKey = hKey;
    return lClosed;
}

LONG CSettingsKey::Close() {
    if (!m_hKey)
        return ERROR_SUCCESS;
    const HKEY hKey = m_hKey;
    m_hKey = nullptr;
    return Registry().CloseKey(hKey);
}

LONG CSettingsKey::ReadNumber(LPCWSTR pszName, DWORD& dwValue) const {
    DWORD dwRead = 0;
    DWORD cbRead = sizeof dwRead;
    const LONG lStatus = Read(pszName, &dwRead, cbRead);
    if (lStatus == ERROR_SUCCESS)
        dwValue = dwRead;
    return lStatus;
}

LONG CSettingsKey::Read(LPCWSTR pszName, void* pData, DWORD& cbData) const {
    return Registry().QueryValue(m_hKey, pszName, static_cast<LPBYTE>(pData), &cbData);
}

LONG CSettingsKey::WriteNumber(LPCWSTR pszName, DWORD dwValue) const {
    return Registry().SetValue(m_hKey, pszName, REG_DWORD, reinterpret_cast<const BYTE*>(&dwValue),
                               sizeof dwValue);
}

LONG CSettingsKey::WriteString(LPCWSTR pszName, LPCWSTR pszValue) const {
    const DWORD cbValue = static_cast<DWORD>((std::wcslen(pszValue) + 1) * sizeof(WCHAR));
    return Registry().SetValue(m_hKey, pszName, REG_SZ, reinterpret_cast<const BYTE*>(pszValue),
                               cbValue);
}

LONG CSettingsKey::Flush() const { return Registry().FlushKey(m_hKey); }

LONG DeleteKeyTree(HKEY hParent, LPCWSTR pszName) {
    CSettingsKey key;
    const LONG lOpened = key.Open(hParent, pszName, KEY_READ | KEY_WRITE);
    if (lOpened != ERROR_SUCCESS)
        return lOpened;
    // Always index 0: the child just deleted no longer occupies it.
    for (;;) {
        WCHAR szChild[kMaxKeyName];
        DWORD cchChild = kMaxKeyName;
        if (Registry().EnumKey(key.Get(), 0, szChild, &cchChild) != ERROR_SUCCESS)
            break;
        const LONG lChild = DeleteKeyTree(key.Get(), szChild);
        if (lChild != ERROR_SUCCESS)
            return lChild;
    }
    key.Close();
    return Registry().DeleteKey(hParent, pszName);
}

namespace {

LONG WriteSettingsValue(LPCWSTR pszName, DWORD dwValue, bool bFlush) {
    CSettingsKey key;
    const LONG lStatus = key.Create(HKEY_CURRENT_USER, kSettingsKeyPath, KEY_ALL_ACCESS);
    if (lStatus != ERROR_SUCCESS)
        return lStatus;
    key.WriteNumber(pszName, dwValue);
    if (bFlush)
        key.Flush();
    return lStatus;
}

} // namespace

LONG WriteSettingsValue(LPCWSTR pszName, DWORD dwValue) {
    return WriteSettingsValue(pszName, dwValue, false);
}

LONG StoreSettingsValue(LPCWSTR pszName, DWORD dwValue) {
    return WriteSettingsValue(pszName, dwValue, true);
}
