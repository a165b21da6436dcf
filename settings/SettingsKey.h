#pragma once

#include "driver/AudioDrv.h"

#include <windows.h>

// Where the settings live, below HKEY_CURRENT_USER.
constexpr LPCWSTR kControlPanelKey = L"ControlPanel";
constexpr LPCWSTR kSettingsKeyPath = L"ControlPanel\\Trilbo Audio";

// Values of the settings key. The band levels, in band order (g_Bands names them with their
// driver messages):
constexpr LPCWSTR kBandValues[kBandCount] = {L"100Hz", L"250Hz", L"1KHz", L"3.5KHz", L"10KHz"};
constexpr LPCWSTR kAGCLevelValue = L"AGC";
constexpr LPCWSTR kCurModeValue = L"CurPF";
constexpr LPCWSTR kModeCountValue = L"Count";
constexpr LPCWSTR kEQEnableValue = L"EQ Enabled";
constexpr LPCWSTR kAGCEnableValue = L"AGC Enabled";
// Value of a mode's numbered subkey, beside the five band levels.
constexpr LPCWSTR kModeNameValue = L"Name";

// A key name has at most 255 characters.
constexpr DWORD kMaxKeyName = 256;

// Holds at most one open registry key and closes it when destroyed. Movable, not copyable.
// Every operation returns the platform status, ERROR_SUCCESS (0) for success.
class CSettingsKey {
public:
    CSettingsKey() = default;
    ~CSettingsKey() { Close(); }
    CSettingsKey(CSettingsKey&& other) noexcept : m_hKey(other.m_hKey) { other.m_hKey = nullptr; }
    CSettingsKey& operator=(CSettingsKey&& other) noexcept;
    CSettingsKey(const CSettingsKey&) = delete;
    CSettingsKey& operator=(const CSettingsKey&) = delete;

    // On success the key held so far is closed and the new one held; on failure the old one
    // stays held.
    LONG Open(HKEY hParent, LPCWSTR pszSubKey, REGSAM samDesired);
    LONG Create(HKEY hParent, LPCWSTR pszSubKey, REGSAM samDesired);
    LONG Close();

    HKEY Get() const { return m_hKey; }
    explicit operator bool() const { return m_hKey != nullptr; }

    // Reads at most 4 bytes, whatever the stored type; a shorter value is zero-extended.
    LONG ReadNumber(LPCWSTR pszName, DWORD& dwValue) const;
    LONG Read(LPCWSTR pszName, void* pData, DWORD& cbData) const;
    LONG WriteNumber(LPCWSTR pszName, DWORD dwValue) const;
    // Writes the string with its terminating zero.
    LONG WriteString(LPCWSTR pszName, LPCWSTR pszValue) const;
    // Stores what the registry holds for good: a reset of the handheld loses every change since
    // the last flush.
    LONG Flush() const;

private:
    LONG Hold(LONG lStatus, HKEY hKey);

    HKEY m_hKey = nullptr;
};

// Deletes the key pszName below hParent together with everything below it. Returns the
// platform status; a child that cannot be deleted stops the deletion there.
LONG DeleteKeyTree(HKEY hParent, LPCWSTR pszName);

// Creates or opens the settings key and writes one REG_DWORD value: the way a single setting
// reaches the registry the moment it changes. Returns the status of opening the key; the
// write's own result is ignored, as a failed write keeps the value in memory until the next Save.
LONG WriteSettingsValue(LPCWSTR pszName, DWORD dwValue);
// The same, then flushes the key: for a setting the user confirmed by itself, such as a switch.
// Never for each level the worker applies: a flush writes the whole registry to storage.
LONG StoreSettingsValue(LPCWSTR pszName, DWORD dwValue);
