#include "settings/AudioConfig.h"

#include "settings/ModeTable.h"
#include "settings/RegistryRoute.h"
#include "settings/SettingsKey.h"

#include <cwchar>

// After the application object, so that it is destroyed first at exit.
CAudioConfig g_AudioConfig __attribute__((init_priority(kSettingsInitPriority)));

namespace {

constexpr int kLiveLevels = -1; // CopyModeLevels' index of the live levels
// A value name has at most 16,383 characters.
constexpr DWORD kMaxValueName = 16384;

// "ControlPanel\Trilbo Audio\00007" for mode 7.
void FormatModeKeyPath(WCHAR (&szPath)[MAX_PATH], int nMode) {
    ::wsprintfW(szPath, L"%s\\%05d", kSettingsKeyPath, nMode);
}

// The leaf of a numbered subkey of one of the modes 0..nModes - 1, as FormatModeKeyPath forms it.
bool IsModeKeyName(LPCWSTR pszName, int nModes) {
    int nMode = 0;
    for (int nDigit = 0; nDigit < 5; ++nDigit) {
        if (pszName[nDigit] < L'0' || pszName[nDigit] > L'9')
            return false;
        nMode = nMode * 10 + (pszName[nDigit] - L'0');
    }
    return pszName[5] == L'\0' && nMode < nModes;
}

LONG ReadNumberOr(const CSettingsKey& key, LPCWSTR pszName, LONG nFallback) {
    DWORD dwValue = 0;
    return key.ReadNumber(pszName, dwValue) == ERROR_SUCCESS ? static_cast<LONG>(dwValue)
                                                             : nFallback;
}

// A flag that cannot be read keeps its value.
void ReadFlag(const CSettingsKey& key, LPCWSTR pszName, BOOL& bFlag) {
    DWORD dwValue = 0;
    if (key.ReadNumber(pszName, dwValue) == ERROR_SUCCESS)
        bFlag = static_cast<BOOL>(dwValue);
}

// The stored count, or -1 when it cannot be read or names more modes than the table holds
// (negative ones included).
int ReadModeCount(const CSettingsKey& key) {
    DWORD dwCount = 0;
    if (key.ReadNumber(kModeCountValue, dwCount) != ERROR_SUCCESS || dwCount > kModeCapacity)
        return -1;
    return static_cast<int>(dwCount);
}

// The name reaches the record only when it was read whole. A stored name need not end in a zero,
// and the platform adds none when the buffer is full, so the scratch copy is terminated here.
LONG LoadModeName(const CSettingsKey& key, EQ_MODE& mode) {
    WCHAR szName[kMaxModeName + 1] = {};
    DWORD cbName = sizeof szName;
    const LONG lStatus = key.Read(kModeNameValue, szName, cbName);
    if (lStatus != ERROR_SUCCESS)
        return lStatus;
    const DWORD cchRead = cbName / sizeof(WCHAR);
    szName[cchRead < kMaxModeName ? cchRead : kMaxModeName] = L'\0';
    std::wmemcpy(mode.szName, szName, kMaxModeName + 1);
    return ERROR_SUCCESS;
}

// The record is touched only once its name was read; a level that cannot be read keeps the
// record's.
LONG LoadMode(const CSettingsKey& key, EQ_MODE& mode) {
    const LONG lStatus = LoadModeName(key, mode);
    if (lStatus != ERROR_SUCCESS)
        return lStatus;
    for (int nBand = 0; nBand < kBandCount; ++nBand)
        mode.nLevel[nBand] = ReadNumberOr(key, g_Bands[nBand].pszName, mode.nLevel[nBand]);
    return ERROR_SUCCESS;
}

// Reads the numbered subkeys 0..nKeys - 1 each on its own into the records from 0 on. An own
// mode's subkey that is missing, or holds no name (what a Save cut within that mode leaves), is
// no mode: the modes after it move up, and the table holds only modes that were read. A built-in
// mode's record stands for its subkey then, so that own modes keep their indices from 6 on. The
// current mode moves with its mode, and becomes none when its subkey held none. False when a
// subkey that is there could not be read (opened, or its name, which may be too long for a
// record): Save would write over it.
bool LoadModes(int nKeys, int& nCurMode) {
    CSettingsKey key;
    bool bWhole = true;
    int nModes = 0;
    int nCurModeRead = nCurMode >= 0 && nCurMode < nKeys ? -1 : nCurMode;
    for (int nKey = 0; nKey < nKeys; ++nKey) {
        WCHAR szPath[MAX_PATH];
        FormatModeKeyPath(szPath, nKey);
        LONG lStatus = key.Open(HKEY_CURRENT_USER, szPath, KEY_ALL_ACCESS);
        if (lStatus == ERROR_SUCCESS)
            lStatus = LoadMode(key, g_Modes[nModes]);
        if (lStatus != ERROR_SUCCESS && lStatus != ERROR_FILE_NOT_FOUND)
            bWhole = false;
        if (lStatus == ERROR_SUCCESS || nKey < kBuiltInModeCount) {
            if (nKey == nCurMode)
                nCurModeRead = nModes;
            ++nModes;
        }
    }
    g_nModes = nModes;
    nCurMode = nCurModeRead;
    return bWhole;
}

// Value names are case-insensitive; ours are plain ASCII.
bool IsValueName(LPCWSTR pszName, LPCWSTR pszOurs) { return ::_wcsicmp(pszName, pszOurs) == 0; }

template <size_t N> bool IsNamed(LPCWSTR pszName, const LPCWSTR (&names)[N]) {
    for (const LPCWSTR pszKept : names)
        if (IsValueName(pszName, pszKept))
            return true;
    return false;
}

// One of the band levels, which the settings key and every mode's key hold.
bool IsBandValue(LPCWSTR pszName) {
    for (const BAND_INFO& band : g_Bands)
        if (IsValueName(pszName, band.pszName))
            return true;
    return false;
}

// Deletes the values of key that are neither a band level nor named in kept. Whatever cannot be
// deleted stays for the next Save.
template <size_t N> bool RemoveForeignValues(const CSettingsKey& key, const LPCWSTR (&kept)[N]) {
    bool bAllRemoved = true;
    DWORD dwIndex = 0;
    for (;;) {
        WCHAR szName[kMaxValueName];
        DWORD cchName = kMaxValueName;
        const LONG lStatus = Registry().EnumValue(key.Get(), dwIndex, szName, &cchName);
        if (lStatus != ERROR_SUCCESS)
            return bAllRemoved && lStatus == ERROR_NO_MORE_ITEMS;
        if (IsBandValue(szName) || IsNamed(szName, kept))
            ++dwIndex;
        else if (Registry().DeleteValue(key.Get(), szName) != ERROR_SUCCESS) {
            bAllRemoved = false; // left for the next Save
            ++dwIndex;
        }
        // else the next value has moved up into dwIndex
    }
}

// Deletes the subkeys of key other than those of the modes 0..nModes - 1, with their children.
bool RemoveForeignKeys(const CSettingsKey& key, int nModes) {
    bool bAllRemoved = true;
    DWORD dwIndex = 0;
    for (;;) {
        WCHAR szName[kMaxKeyName];
        DWORD cchName = kMaxKeyName;
        const LONG lStatus = Registry().EnumKey(key.Get(), dwIndex, szName, &cchName);
        if (lStatus != ERROR_SUCCESS)
            return bAllRemoved && lStatus == ERROR_NO_MORE_ITEMS;
        if (IsModeKeyName(szName, nModes))
            ++dwIndex;
        else if (DeleteKeyTree(key.Get(), szName) != ERROR_SUCCESS) {
            bAllRemoved = false; // left for the next Save
            ++dwIndex;
        }
    }
}

// A record's name is terminated by construction; the copy makes sure nothing past it is written.
LONG SaveModeName(const CSettingsKey& key, const EQ_MODE& mode) {
    WCHAR szName[kMaxModeName + 1];
    const int cchName = RecordNameLength(mode);
    std::wmemcpy(szName, mode.szName, static_cast<size_t>(cchName));
    szName[cchName] = L'\0';
    return key.WriteString(kModeNameValue, szName);
}

// Whether the subkey holds a name, as Load reads it, other than the record's.
bool HoldsOtherName(const CSettingsKey& key, const EQ_MODE& mode) {
    EQ_MODE stored = {};
    const LONG lStatus = LoadModeName(key, stored);
    return lStatus != ERROR_FILE_NOT_FOUND &&
           (lStatus != ERROR_SUCCESS || std::wcscmp(stored.szName, mode.szName) != 0);
}

// The name goes last, so that a Save cut within a mode leaves a subkey without a name, which
// Load skips, rather than one mode's name on another's levels. A subkey that holds another mode
// loses that name first: modes only move down, so that mode is stored under the subkey before
// by now, or was deleted. One cut while it overwrites a mode's levels keeps some of them.
bool SaveMode(const CSettingsKey& key, const EQ_MODE& mode) {
    if (HoldsOtherName(key, mode)) {
        const LONG lDeleted = Registry().DeleteValue(key.Get(), kModeNameValue);
        if (lDeleted != ERROR_SUCCESS && lDeleted != ERROR_FILE_NOT_FOUND)
            return false;
    }
    for (int nBand = 0; nBand < kBandCount; ++nBand)
        if (key.WriteNumber(g_Bands[nBand].pszName, static_cast<DWORD>(mode.nLevel[nBand])) !=
            ERROR_SUCCESS)
            return false;
    return SaveModeName(key, mode) == ERROR_SUCCESS;
}

// Each mode is written in place over the one stored at its index; a mode's key holds nothing else
// afterwards. The first failure ends the writing.
bool SaveModes() {
    CSettingsKey key;
    for (int nMode = 0; nMode < g_nModes; ++nMode) {
        WCHAR szPath[MAX_PATH];
        FormatModeKeyPath(szPath, nMode);
        if (key.Create(HKEY_CURRENT_USER, szPath, KEY_ALL_ACCESS) != ERROR_SUCCESS ||
            !SaveMode(key, g_Modes[nMode]))
            return false;
        const LPCWSTR kept[] = {kModeNameValue};
        RemoveForeignValues(key, kept);
        RemoveForeignKeys(key, 0);
    }
    return true;
}

} // namespace

CAudioConfig::~CAudioConfig() { EndWorker(); }

BOOL CAudioConfig::SetEQEnable(BOOL bEnable) {
    if (!CAudioDrvThread::SetEQEnable(bEnable))
        return FALSE;
    StoreSettingsValue(kEQEnableValue, static_cast<DWORD>(bEnable));
    return TRUE;
}

BOOL CAudioConfig::SetAGCEnable(BOOL bEnable) {
    if (!CAudioDrvThread::SetAGCEnable(bEnable))
        return FALSE;
    StoreSettingsValue(kAGCEnableValue, static_cast<DWORD>(bEnable));
    return TRUE;
}

void CAudioConfig::OnBandApplied(int nBand, int nLevel, BOOL bFailed) {
    if (bFailed || !IsValidBand(nBand))
        return;
    WriteSettingsValue(g_Bands[nBand].pszName, static_cast<DWORD>(nLevel));
}

// Stores the level the driver accepted, not the live one: a newer level may already wait for the
// next pass, and the registry is to hold only levels the driver has.
void CAudioConfig::OnAGCLevelApplied(int nLevel, BOOL bFailed) {
    if (bFailed)
        return;
    WriteSettingsValue(kAGCLevelValue, static_cast<DWORD>(nLevel));
}

BOOL CAudioConfig::Attach(HWND hWnd) {
    m_hWndOwner = hWnd;
    Load();
    return CAudioDrvThread::Open();
}

BOOL CAudioConfig::Load() {
    CSettingsKey key;
    const LONG lStatus = key.Open(HKEY_CURRENT_USER, kSettingsKeyPath, KEY_ALL_ACCESS);
    // No key is a first start: the defaults in memory then stand for what is stored.
    m_bLoaded = lStatus == ERROR_SUCCESS || lStatus == ERROR_FILE_NOT_FOUND;
    if (lStatus != ERROR_SUCCESS)
        return FALSE;
    LoadSettings(key);
    const int nCount = ReadModeCount(key);
    key.Close();
    // Without a count the subkeys there are tell the modes.
    m_bLoaded = LoadModes(nCount >= 0 ? nCount : kModeCapacity, m_nCurMode);
    return TRUE;
}

void CAudioConfig::LoadSettings(const CSettingsKey& key) {
    m_nAGCLevel = ReadNumberOr(key, kAGCLevelValue, kDefaultAGCLevel);
    ReadFlag(key, kEQEnableValue, m_bEQEnable);
    ReadFlag(key, kAGCEnableValue, m_bAGCEnable);
    m_nCurMode = ReadNumberOr(key, kCurModeValue, 0);
    for (int nBand = 0; nBand < kBandCount; ++nBand)
        m_nBand[nBand] = ReadNumberOr(key, g_Bands[nBand].pszName, kFlatBandLevel);
}

// Nothing stored is deleted before its replacement is written: every value and every mode is
// written in place, and "Count" only after the modes, so that it never names a subkey not yet
// written. The first failed open, create or write ends the save there, leaving each value
// either as stored before or as in memory. Only once all of it stands does Save remove what no
// longer belongs: numbered subkeys beyond "Count", foreign subkeys and foreign values.
BOOL CAudioConfig::Save() {
    if (!m_bLoaded)
        return FALSE; // the defaults in memory would write over the stored settings
    CSettingsKey key;
    // Without "ControlPanel" the registry is left as it is.
    if (key.Open(HKEY_CURRENT_USER, kControlPanelKey, KEY_ALL_ACCESS) != ERROR_SUCCESS)
        return FALSE;
    if (key.Create(HKEY_CURRENT_USER, kSettingsKeyPath, KEY_ALL_ACCESS) != ERROR_SUCCESS)
        return FALSE;
    const BOOL bSaved = SaveAll(key);
    // Once for the whole save, whatever of it stands: each value is as stored before or as now.
    key.Flush();
    return bSaved;
}

BOOL CAudioConfig::SaveAll(const CSettingsKey& key) const {
    if (!SaveSettings(key) || !SaveModes() ||
        key.WriteNumber(kModeCountValue, static_cast<DWORD>(g_nModes)) != ERROR_SUCCESS)
        return FALSE;
    const LPCWSTR kept[] = {kAGCLevelValue, kCurModeValue, kModeCountValue, kEQEnableValue,
                            kAGCEnableValue};
    const bool bKeysRemoved = RemoveForeignKeys(key, g_nModes);
    return RemoveForeignValues(key, kept) && bKeysRemoved;
}

// Every value of the settings key but "Count", which follows the modes.
BOOL CAudioConfig::SaveSettings(const CSettingsKey& key) const {
    if (key.WriteNumber(kAGCLevelValue, static_cast<DWORD>(m_nAGCLevel)) != ERROR_SUCCESS)
        return FALSE;
    for (int nBand = 0; nBand < kBandCount; ++nBand)
        if (key.WriteNumber(g_Bands[nBand].pszName, static_cast<DWORD>(m_nBand[nBand])) !=
            ERROR_SUCCESS)
            return FALSE;
    return key.WriteNumber(kCurModeValue, static_cast<DWORD>(m_nCurMode)) == ERROR_SUCCESS &&
           key.WriteNumber(kEQEnableValue, static_cast<DWORD>(m_bEQEnable)) == ERROR_SUCCESS &&
           key.WriteNumber(kAGCEnableValue, static_cast<DWORD>(m_bAGCEnable)) == ERROR_SUCCESS;
}

int CAudioConfig::FindCurrentMode() {
    // Taken unsigned, so that -1 and every other negative index is no mode.
    if (static_cast<UINT>(m_nCurMode) >= static_cast<UINT>(g_nModes))
        return -1;
    const EQ_MODE& mode = g_Modes[m_nCurMode];
    for (int nBand = 0; nBand < kBandCount; ++nBand)
        if (m_nBand[nBand] != mode.nLevel[nBand])
            return -1;
    return m_nCurMode;
}

BOOL CAudioConfig::CopyModeLevels(int nDest, int nSrc) {
    const auto isModeOrLive = [](int nMode) { return nMode >= kLiveLevels && nMode < g_nModes; };
    if (!isModeOrLive(nDest) || !isModeOrLive(nSrc) || nDest == nSrc)
        return FALSE;
    for (int nBand = 0; nBand < kBandCount; ++nBand) {
        if (nDest == kLiveLevels)
            SetBandLevel(nBand, g_Modes[nSrc].nLevel[nBand]);
        else if (nSrc == kLiveLevels)
            g_Modes[nDest].nLevel[nBand] = m_nBand[nBand];
        else
            g_Modes[nDest].nLevel[nBand] = g_Modes[nSrc].nLevel[nBand];
    }
    return TRUE;
}
