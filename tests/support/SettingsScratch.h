#pragma once

#include "settings/AudioConfig.h"
#include "settings/ModeTable.h"
#include "support/RegistryTree.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

// The settings key, spelled out here so that a wrong path in the code shows.
constexpr LPCWSTR kMainPath = L"ControlPanel\\Trilbo Audio";

using Levels = std::array<int, kBandCount>;

inline RegTree ModeKeyTree(const std::wstring& strName, const Levels& levels) {
    RegTree tree;
    tree.values[L"Name"] = Sz(strName);
    const LPCWSTR names[] = {L"100Hz", L"250Hz", L"1KHz", L"3.5KHz", L"10KHz"};
    for (int nBand = 0; nBand < kBandCount; ++nBand)
        tree.values[names[nBand]] = Dword(static_cast<DWORD>(levels[nBand]));
    return tree;
}

inline std::wstring ModeKeyName(int nMode) {
    WCHAR szName[16];
    ::wsprintfW(szName, L"%05d", nMode);
    return szName;
}

inline RegTree StoredSettings() {
    RegTree tree;
    ReadTree(HKEY_CURRENT_USER, kMainPath, tree);
    return tree;
}

inline void SetMode(int nMode, const std::wstring& strName, const Levels& levels) {
    ::lstrcpynW(g_Modes[nMode].szName, strName.c_str(), kMaxModeName + 1);
    std::memcpy(g_Modes[nMode].nLevel, levels.data(), sizeof g_Modes[nMode].nLevel);
}

inline Levels ModeLevels(int nMode) {
    Levels levels;
    std::memcpy(levels.data(), g_Modes[nMode].nLevel, sizeof g_Modes[nMode].nLevel);
    return levels;
}

// Each test starts on a scratch state of its own: no settings key below an existing
// "ControlPanel", the mode table as the program starts with it, g_AudioConfig closed.
class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        static const auto initialModes = CopyOfModes();
        DeleteTree(HKEY_CURRENT_USER, kMainPath);
        HKEY hKey = nullptr;
        ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, L"ControlPanel", 0, nullptr, 0,
                                    KEY_ALL_ACCESS, nullptr, &hKey, nullptr),
                  ERROR_SUCCESS);
        ::RegCloseKey(hKey);
        std::memcpy(g_Modes, initialModes.data(), sizeof g_Modes);
        g_nModes = kBuiltInModeCount;
        g_AudioConfig.Close();
        g_AudioConfig.m_nCurMode = 0;
    }

    static std::array<EQ_MODE, kModeCapacity> CopyOfModes() {
        std::array<EQ_MODE, kModeCapacity> modes;
        std::memcpy(modes.data(), g_Modes, sizeof g_Modes);
        return modes;
    }
};
