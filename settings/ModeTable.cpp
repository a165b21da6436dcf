#include "settings/ModeTable.h"

#include "settings/AudioConfig.h"
#include "settings/SettingsKey.h"

#include <cwchar>

// Zero-filled, so that the program's file does not carry 13 KB of empty names: the built-in
// levels are filled in as the program starts, before anything reads the table. Built-in names
// come from the string table once the page has loaded the settings.
EQ_MODE g_Modes[kModeCapacity];

namespace {

constexpr int kBuiltInLevels[kBuiltInModeCount][kBandCount] = {
    {8, 8, 8, 8, 8}, {7, 4, 6, 5, 3}, {3, 5, 9, 4, 5},
    {8, 7, 6, 6, 4}, {6, 2, 7, 8, 3}, {12, 9, 2, 9, 12},
};

// Out of line: inlined, the compiler folds the fill back into 13 KB of initialised data.
[[gnu::noinline]] bool FillBuiltInLevels() {
    for (int nMode = 0; nMode < kBuiltInModeCount; ++nMode) {
        for (int nBand = 0; nBand < kBandCount; ++nBand)
            g_Modes[nMode].nLevel[nBand] = kBuiltInLevels[nMode][nBand];
    }
    return true;
}

const bool g_bBuiltInLevelsFilled = FillBuiltInLevels();

} // namespace

int g_nModes = kBuiltInModeCount;

const BAND_INFO g_Bands[kBandCount] = {
    {kBandValues[0], AUDMSG_EQ_BAND_FIRST + 0}, {kBandValues[1], AUDMSG_EQ_BAND_FIRST + 1},
    {kBandValues[2], AUDMSG_EQ_BAND_FIRST + 2}, {kBandValues[3], AUDMSG_EQ_BAND_FIRST + 3},
    {kBandValues[4], AUDMSG_EQ_BAND_FIRST + 4},
};

namespace {

int BoundedLength(LPCWSTR psz, int nMax) {
    int nLength = 0;
    while (nLength < nMax && psz[nLength])
        ++nLength;
    return nLength;
}

} // namespace

int ModeNameLength(LPCWSTR pszName) {
    int nLength = BoundedLength(pszName, kMaxModeName);
    if (nLength > 0 && IS_HIGH_SURROGATE(pszName[nLength - 1]))
        --nLength;
    return nLength;
}

void CopyModeName(EQ_MODE& mode, LPCWSTR pszName) {
    const int nLength = ModeNameLength(pszName);
    std::wmemcpy(mode.szName, pszName, static_cast<size_t>(nLength));
    mode.szName[nLength] = L'\0';
}

int RecordNameLength(const EQ_MODE& mode) { return BoundedLength(mode.szName, kMaxModeName); }

int AddMode(LPCWSTR pszName) {
    const int nMode = g_nModes;
    if (nMode >= kModeCapacity)
        return -1;
    g_AudioConfig.m_nCurMode = nMode;
    g_nModes = nMode + 1;
    CopyModeName(g_Modes[nMode], pszName ? pszName : L"");
    g_AudioConfig.CopyModeLevels(nMode, -1);
    g_AudioConfig.Save();
    return nMode;
}

void DeleteMode(int nIndex) {
    const int nCount = g_nModes;
    if (nIndex < 0 || nIndex >= nCount)
        return;
    for (int nMode = nIndex; nMode < nCount - 1; ++nMode) {
        g_AudioConfig.CopyModeLevels(nMode, nMode + 1);
        // The whole record's name: a stored one is kept as it was read, terminated.
        std::wmemcpy(g_Modes[nMode].szName, g_Modes[nMode + 1].szName, kMaxModeName + 1);
    }
    g_Modes[nCount - 1] = EQ_MODE{};
    g_AudioConfig.m_nCurMode = -1;
    g_nModes = nCount - 1;
    g_AudioConfig.Save();
}
