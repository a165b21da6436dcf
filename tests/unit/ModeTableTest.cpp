#include "fakes/FakeDevice.h"
#include "harness/Contract.h"
#include "harness/Wait.h"
#include "unit/SettingsScratch.h"

namespace {

// The live levels of g_AudioConfig, set the way the program sets them: from the registry, which
// holds the table as it stands.
void LoadLiveLevels(const BandLevels& levels) {
    ASSERT_TRUE(g_AudioConfig.Save());
    RegTree tree = StoredSettings();
    for (int nBand = 0; nBand < kBandCount; ++nBand)
        tree.values[kBandValues[nBand]] = Dword(static_cast<DWORD>(levels[nBand]));
    WriteTree(HKEY_CURRENT_USER, kSettingsPath, tree);
    const int nModes = g_nModes;
    ASSERT_TRUE(g_AudioConfig.Load());
    ASSERT_EQ(g_nModes, nModes);
}

void AddOwnModes(int nModes) {
    for (int nMode = kBuiltInModeCount; nMode < nModes; ++nMode)
        SetMode(nMode, L"own " + std::to_wstring(nMode), {nMode, nMode, 0, 0, 1});
    g_nModes = nModes;
}

using ModeTableTest = SettingsTest;

TEST_F(ModeTableTest, FindCurrentModeConfirmsOnlyTheCurrentMode) {
    LoadLiveLevels({8, 7, 6, 6, 4});
    SetMode(4, L"same levels", {8, 7, 6, 6, 4});
    const std::pair<int, int> cases[] = {{3, 3}, {4, 4}, {1, -1}, {-1, -1}, {6, -1}};
    for (const auto& [nCurMode, nFound] : cases) {
        g_AudioConfig.m_nCurMode = nCurMode;
        EXPECT_EQ(g_AudioConfig.FindCurrentMode(), nFound) << "current mode " << nCurMode;
    }
    SetMode(4, L"one level differs", {8, 7, 6, 6, 5});
    g_AudioConfig.m_nCurMode = 4;
    EXPECT_EQ(g_AudioConfig.FindCurrentMode(), -1);
}

TEST_F(ModeTableTest, AddModeAppendsTheLiveLevelsAndSaves) {
    LoadLiveLevels({1, 2, 3, 4, 5});
    EXPECT_EQ(AddMode(L"Mine"), 6);
    EXPECT_EQ(g_nModes, 7);
    EXPECT_EQ(g_AudioConfig.m_nCurMode, 6);
    EXPECT_STREQ(g_Modes[6].szName, L"Mine");
    EXPECT_EQ(ModeLevels(6), (BandLevels{1, 2, 3, 4, 5}));
    RegTree stored = StoredSettings();
    EXPECT_EQ(stored.values[L"Count"], Dword(7));
    EXPECT_EQ(stored.values[L"CurPF"], Dword(6));
    EXPECT_EQ(stored.keys[L"00006"], ModeKeyTree(L"Mine", {1, 2, 3, 4, 5}));

    // A name longer than a record holds is cut.
    EXPECT_EQ(AddMode(std::wstring(300, L'n').c_str()), 7);
    EXPECT_EQ(std::wstring(g_Modes[7].szName), std::wstring(260, L'n'));
    EXPECT_EQ(StoredSettings().keys[L"00007"].values[L"Name"], Sz(std::wstring(260, L'n')));
    // ...and never inside a surrogate pair.
    const std::wstring strPair = L"\xD83C\xDFB5";
    EXPECT_EQ(AddMode((std::wstring(259, L'n') + strPair).c_str()), 8);
    EXPECT_EQ(std::wstring(g_Modes[8].szName), std::wstring(259, L'n'));
    // ...nor end in the first half of one, as the dialog's edit can keep it at its limit.
    EXPECT_EQ(AddMode((std::wstring(259, L'h') + strPair[0]).c_str()), 9);
    EXPECT_EQ(std::wstring(g_Modes[9].szName), std::wstring(259, L'h'));
    EXPECT_EQ(AddMode((L"short" + strPair.substr(0, 1)).c_str()), 10);
    EXPECT_STREQ(g_Modes[10].szName, L"short");
}

TEST_F(ModeTableTest, AddModeRefusesAFullTable) {
    AddOwnModes(kModeCapacity);
    g_AudioConfig.m_nCurMode = 2;
    EXPECT_EQ(AddMode(L"one too many"), -1);
    EXPECT_EQ(g_nModes, kModeCapacity);
    EXPECT_EQ(g_AudioConfig.m_nCurMode, 2);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kSettingsPath)) << "nothing saved";
}

TEST_F(ModeTableTest, DeleteModeClosesTheGapClearsTheCurrentModeAndSaves) {
    for (const int nDeleted : {6, 7, 8}) {
        SCOPED_TRACE(testing::Message() << "deleting mode " << nDeleted << " of 9");
        SetUp();
        AddOwnModes(9);
        g_AudioConfig.m_nCurMode = 8;
        DeleteMode(nDeleted);
        EXPECT_EQ(g_nModes, 8);
        EXPECT_EQ(g_AudioConfig.m_nCurMode, -1);
        for (int nMode = kBuiltInModeCount; nMode < 8; ++nMode) {
            const int nWas = nMode < nDeleted ? nMode : nMode + 1;
            EXPECT_EQ(std::wstring(g_Modes[nMode].szName), L"own " + std::to_wstring(nWas));
            EXPECT_EQ(ModeLevels(nMode), (BandLevels{nWas, nWas, 0, 0, 1}));
        }
        EXPECT_EQ(g_Modes[8].szName[0], L'\0');
        EXPECT_EQ(ModeLevels(8), (BandLevels{0, 0, 0, 0, 0}));

        RegTree stored = StoredSettings();
        EXPECT_EQ(stored.values[L"CurPF"], Dword(0xFFFFFFFF));
        EXPECT_EQ(stored.values[L"Count"], Dword(8));
        EXPECT_EQ(stored.keys.count(L"00008"), 0u);
        CAudioConfig reloaded;
        ASSERT_TRUE(reloaded.Load());
        EXPECT_EQ(reloaded.m_nCurMode, -1);
    }
}

TEST_F(ModeTableTest, DeleteModeRefusesIndicesOutsideTheModes) {
    AddOwnModes(8);
    for (const int nIndex : {-1, 8, 23, 1000}) {
        DeleteMode(nIndex);
        EXPECT_EQ(g_nModes, 8) << nIndex;
    }
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kSettingsPath));
}

TEST_F(ModeTableTest, CopyModeLevels) {
    AddOwnModes(8);
    LoadLiveLevels({9, 9, 9, 9, 9});
    const auto before = CopyOfModes();
    const std::pair<int, int> refused[] = {{-1, -1}, {2, 2},  {8, 0},  {0, 8},
                                           {-2, 0},  {0, -2}, {23, -1}};
    for (const auto& [nDest, nSrc] : refused)
        EXPECT_FALSE(g_AudioConfig.CopyModeLevels(nDest, nSrc)) << nDest << ", " << nSrc;
    EXPECT_EQ(std::memcmp(before.data(), g_Modes, sizeof g_Modes), 0);

    EXPECT_TRUE(g_AudioConfig.CopyModeLevels(7, -1));
    EXPECT_EQ(ModeLevels(7), (BandLevels{9, 9, 9, 9, 9}));
    EXPECT_TRUE(g_AudioConfig.CopyModeLevels(6, 1));
    EXPECT_EQ(ModeLevels(6), (BandLevels{7, 4, 6, 5, 3}));

    // Onto the live levels: each goes to the worker as a pending band level.
    FakeDevice device;
    ASSERT_TRUE(g_AudioConfig.Attach(nullptr));
    ASSERT_TRUE(WaitUntil([] { return g_AudioConfig.Kick(); }));
    EXPECT_TRUE(g_AudioConfig.CopyModeLevels(-1, 1));
    for (int nBand = 0; nBand < kBandCount; ++nBand)
        EXPECT_EQ(g_AudioConfig.GetBandLevel(nBand), ModeLevels(1)[nBand]);
    ASSERT_TRUE(device.WaitForCalls(5));
    EXPECT_EQ(device.Messages(), (std::vector<std::pair<DWORD, DWORD>>{{kBandMsg, 7},
                                                                       {kBandMsg + 1, 4},
                                                                       {kBandMsg + 2, 6},
                                                                       {kBandMsg + 3, 5},
                                                                       {kBandMsg + 4, 3}}));
    g_AudioConfig.Close();
}

} // namespace
