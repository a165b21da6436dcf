#pragma once

#include "harness/StoredSettings.h"
#include "settings/AudioConfig.h"
#include "settings/ModeTable.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

// A mode's levels as the test spells them and as the table holds them.
static_assert(sizeof(BandLevels) == sizeof(EQ_MODE::nLevel), "five bands of int");

inline void SetMode(int nMode, const std::wstring& strName, const BandLevels& levels) {
    ::lstrcpynW(g_Modes[nMode].szName, strName.c_str(), kMaxModeName + 1);
    std::memcpy(g_Modes[nMode].nLevel, levels.data(), sizeof g_Modes[nMode].nLevel);
}

inline BandLevels ModeLevels(int nMode) {
    BandLevels levels;
    std::memcpy(levels.data(), g_Modes[nMode].nLevel, sizeof g_Modes[nMode].nLevel);
    return levels;
}

// Each test starts on a scratch state of its own: no settings key below an existing
// "ControlPanel", the mode table as the program starts with it, g_AudioConfig closed and loaded.
class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        static const auto initialModes = CopyOfModes();
        DeleteTree(HKEY_CURRENT_USER, kSettingsPath);
        HKEY hKey = nullptr;
        ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsParent, 0, nullptr, 0,
                                    KEY_ALL_ACCESS, nullptr, &hKey, nullptr),
                  ERROR_SUCCESS);
        ::RegCloseKey(hKey);
        std::memcpy(g_Modes, initialModes.data(), sizeof g_Modes);
        g_nModes = kBuiltInModeCount;
        g_AudioConfig.Close();
        g_AudioConfig.m_nCurMode = 0;
        // A first start: nothing stored, nothing in memory changes, and Save may store.
        g_AudioConfig.Load();
        ASSERT_TRUE(g_AudioConfig.m_bLoaded);
    }

    static std::array<EQ_MODE, kModeCapacity> CopyOfModes() {
        std::array<EQ_MODE, kModeCapacity> modes;
        std::memcpy(modes.data(), g_Modes, sizeof g_Modes);
        return modes;
    }
};
