#include "fakes/FakeDevice.h"
#include "harness/Contract.h"
#include "harness/Wait.h"
#include "settings/RegistryRoute.h"
#include "unit/SettingsScratch.h"

#include <atomic>
#include <mutex>
#include <vector>

namespace {

constexpr BandLevels kFlat = {8, 8, 8, 8, 8};

BandLevels LiveLevels(const CAudioConfig& config) {
    BandLevels levels;
    for (int nBand = 0; nBand < kBandCount; ++nBand)
        levels[nBand] = config.GetBandLevel(nBand);
    return levels;
}

// The stored main key: its values as given, and one numbered subkey per mode.
void StoreSettings(const std::map<std::wstring, RegValue>& values, int nModeKeys = 0) {
    DeleteTree(HKEY_CURRENT_USER, kSettingsPath);
    RegTree tree;
    tree.values = values;
    for (int nMode = 0; nMode < nModeKeys; ++nMode)
        tree.keys[ModeKeyName(nMode)] =
            ModeKeyTree(L"Mode " + std::to_wstring(nMode), {nMode, 1, 2, 3, 4});
    WriteTree(HKEY_CURRENT_USER, kSettingsPath, tree);
}

void ExpectDefaults(const CAudioConfig& config, int nModes, int nLine) {
    SCOPED_TRACE(testing::Message() << "called from line " << nLine);
    EXPECT_TRUE(config.m_bEQEnable);
    EXPECT_TRUE(config.m_bAGCEnable);
    EXPECT_EQ(LiveLevels(config), kFlat);
    EXPECT_EQ(config.GetAGCLevel(), 48);
    EXPECT_EQ(config.m_nCurMode, 0);
    EXPECT_EQ(g_nModes, nModes);
}

using SettingsStoreTest = SettingsTest;

TEST_F(SettingsStoreTest, FirstStartWritesNothingUntilASwitchChanges) {
    FakeDevice device;
    CAudioConfig config;
    EXPECT_TRUE(config.Attach(nullptr));
    ExpectDefaults(config, 6, __LINE__);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kSettingsPath));

    // Unchanged: nothing reaches the driver, and the value is written all the same.
    EXPECT_TRUE(config.SetEQEnable(TRUE));
    EXPECT_EQ(device.CallCount(), 0u);
    EXPECT_EQ(StoredSettings().values,
              (std::map<std::wstring, RegValue>{{L"EQ Enabled", Dword(1)}}));

    EXPECT_TRUE(config.SetAGCEnable(FALSE));
    EXPECT_EQ(device.Messages(), (std::vector<std::pair<DWORD, DWORD>>{{kAGCEnableMsg, 0}}));
    EXPECT_EQ(StoredSettings().values[L"AGC Enabled"], Dword(0));

    // With the driver closed an unchanged request still succeeds and is written; a change fails
    // and is not.
    ASSERT_TRUE(config.Close());
    DeleteTree(HKEY_CURRENT_USER, kSettingsPath);
    EXPECT_TRUE(config.SetEQEnable(TRUE));
    EXPECT_FALSE(config.SetAGCEnable(TRUE));
    EXPECT_EQ(StoredSettings().values,
              (std::map<std::wstring, RegValue>{{L"EQ Enabled", Dword(1)}}));
}

TEST_F(SettingsStoreTest, CountWithItsSubkeysLoadsThatManyModesAndFallbacksForTheRest) {
    StoreSettings({{L"Count", Dword(7)}}, 7);
    CAudioConfig config;
    config.m_bAGCEnable = FALSE;
    ASSERT_TRUE(config.Load());
    EXPECT_FALSE(config.m_bAGCEnable) << "a flag that is not stored keeps its value";
    config.m_bAGCEnable = TRUE;
    ExpectDefaults(config, 7, __LINE__);
    for (int nMode = 0; nMode < 7; ++nMode) {
        EXPECT_STREQ(g_Modes[nMode].szName, (L"Mode " + std::to_wstring(nMode)).c_str());
        EXPECT_EQ(ModeLevels(nMode), (BandLevels{nMode, 1, 2, 3, 4}));
    }
}

// A missing own mode's subkey, or one without a name, is no mode: the modes after it move up, the
// current mode with its own, and Save may store them. A built-in mode stands for its subkey.
TEST_F(SettingsStoreTest, MissingSubkeyIsNoModeAndTheModesAfterItMoveUp) {
    StoreSettings({{L"Count", Dword(8)}}, 7);
    SetMode(7, L"kept", {1, 2, 3, 4, 5});
    CAudioConfig config;
    ASSERT_TRUE(config.Load());
    EXPECT_EQ(g_nModes, 7);
    EXPECT_STREQ(g_Modes[6].szName, L"Mode 6");
    EXPECT_STREQ(g_Modes[7].szName, L"kept") << "beyond the modes, untouched";

    StoreSettings({{L"Count", Dword(10)}, {L"CurPF", Dword(9)}}, 10);
    for (const LPCWSTR pszMissing : {L"\\00004", L"\\00007"})
        DeleteTree(HKEY_CURRENT_USER, (std::wstring(kSettingsPath) + pszMissing).c_str());
    ::RegDeleteKeyValueW(HKEY_CURRENT_USER, (std::wstring(kSettingsPath) + L"\\00008").c_str(),
                         L"Name");
    SetMode(4, L"Dance", {6, 2, 7, 8, 3});
    ASSERT_TRUE(config.Load());
    ASSERT_EQ(g_nModes, 8);
    EXPECT_STREQ(g_Modes[4].szName, L"Dance") << "the built-in mode stands for its subkey";
    EXPECT_STREQ(g_Modes[7].szName, L"Mode 9");
    EXPECT_EQ(ModeLevels(7), (BandLevels{9, 1, 2, 3, 4}));
    EXPECT_EQ(config.m_nCurMode, 7);
}

// A count that cannot be read names no modes: the subkeys there are do, and with none the
// built-in modes stand. One that can is taken as stored.
TEST_F(SettingsStoreTest, CountThatCannotBeReadIsTakenFromTheSubkeysThereAre) {
    for (const DWORD dwCount : {0xFFFFFFFFu, 0x80000000u, 24u, 0x7FFFFFFFu}) {
        SCOPED_TRACE(dwCount);
        StoreSettings({{L"Count", Dword(dwCount)}});
        g_nModes = 3;
        CAudioConfig config;
        ASSERT_TRUE(config.Load());
        EXPECT_EQ(g_nModes, 6);
    }
    const std::map<std::wstring, RegValue> unreadable[] = {
        {}, {{L"Count", Sz(L"9")}}, {{L"Count", RegValue{REG_QWORD, {9, 0, 0, 0, 0, 0, 0, 0}}}}};
    for (const auto& values : unreadable) {
        StoreSettings(values, 9);
        CAudioConfig config;
        ASSERT_TRUE(config.Load());
        EXPECT_EQ(g_nModes, 9);
    }
    for (const DWORD dwCount : {0u, 2u, 23u}) {
        StoreSettings({{L"Count", Dword(dwCount)}}, kModeCapacity);
        CAudioConfig config;
        ASSERT_TRUE(config.Load());
        EXPECT_EQ(g_nModes, static_cast<int>(dwCount)) << "taken as stored";
    }
}

TEST_F(SettingsStoreTest, CurrentModeOutsideTheModesLoadsUnchangedAndIsNoMode) {
    StoreSettings({{L"CurPF", Dword(40)}});
    CAudioConfig config;
    ASSERT_TRUE(config.Load());
    EXPECT_EQ(config.m_nCurMode, 40);
    EXPECT_EQ(config.FindCurrentMode(), -1);

    StoreSettings({{L"CurPF", Dword(0xFFFFFFFF)}});
    ASSERT_TRUE(config.Load());
    EXPECT_EQ(config.m_nCurMode, -1);
    EXPECT_EQ(config.FindCurrentMode(), -1);
}

// Values are read whatever their type, 4 bytes at most, and never past a buffer.
TEST_F(SettingsStoreTest, ValuesOfAnotherTypeOrSize) {
    const BYTE bytes[8] = {5, 0, 0, 0, 1, 2, 3, 4};
    StoreSettings({{L"AGC", Sz(L"7", false)},
                   {kBandValues[0], RegValue{REG_BINARY, {3}}},
                   {kBandValues[1], RegValue{REG_QWORD, {bytes, bytes + 8}}},
                   {kBandValues[2], RegValue{REG_BINARY, {}}}});
    CAudioConfig config;
    ASSERT_TRUE(config.Load());
    EXPECT_EQ(config.GetAGCLevel(), L'7');
    EXPECT_EQ(config.GetBandLevel(0), 3) << "zero-extended";
    EXPECT_EQ(config.GetBandLevel(1), 8) << "larger than 4 bytes: unreadable";
    EXPECT_EQ(config.GetBandLevel(2), 0);
}

TEST_F(SettingsStoreTest, NamesAreReadWholeAndAlwaysTerminated) {
    const std::wstring str260(260, L'x');
    const std::wstring str261(261, L'y');
    RegTree tree;
    tree.values[L"Count"] = Dword(4);
    tree.keys[L"00000"].values[L"Name"] = Sz(str260);
    tree.keys[L"00001"].values[L"Name"] = Sz(str261, false);
    tree.keys[L"00002"].values[L"Name"] = Sz(L"abc", false);
    tree.keys[L"00003"].values[L"Name"] = Sz(std::wstring(300, L'z'));
    WriteTree(HKEY_CURRENT_USER, kSettingsPath, tree);
    for (int nMode = 0; nMode < 4; ++nMode)
        std::fill(std::begin(g_Modes[nMode].szName), std::end(g_Modes[nMode].szName), L'#');
    g_Modes[3].szName[kMaxModeName] = L'\0';

    CAudioConfig config;
    ASSERT_TRUE(config.Load());
    EXPECT_EQ(std::wstring(g_Modes[0].szName), str260);
    EXPECT_EQ(std::wstring(g_Modes[1].szName), str261.substr(0, 260));
    EXPECT_EQ(std::wstring(g_Modes[2].szName), L"abc");
    EXPECT_EQ(std::wstring(g_Modes[3].szName), std::wstring(260, L'#')) << "too long: kept";
    EXPECT_EQ(g_nModes, 4) << "the built-in record stands for a name too long";
    EXPECT_FALSE(config.m_bLoaded);
    const RegTree stored = StoredSettings();
    EXPECT_FALSE(config.Save());
    EXPECT_EQ(StoredSettings(), stored) << "nothing is written over the name not read";
}

TEST_F(SettingsStoreTest, SaveLeavesExactlyTheLayoutAndRemovesWhatDoesNotBelong) {
    RegTree stale;
    stale.values[L"Count"] = Dword(9);
    stale.values[L"Foreign"] = Sz(L"x");
    stale.keys[L"Foreign"].keys[L"Child"].values[L"v"] = Dword(1);
    stale.keys[L"00008"] = ModeKeyTree(L"beyond the count", kFlat);
    stale.keys[L"00001"].values[L"Extra"] = Dword(2);
    stale.keys[L"00001"].keys[L"Child"] = {};
    stale.keys[L"7"] = {};
    WriteTree(HKEY_CURRENT_USER, kSettingsPath, stale);

    CAudioConfig config;
    config.Load();
    config.m_bAGCEnable = FALSE;
    config.m_nCurMode = -1;
    for (int nMode = 0; nMode < 7; ++nMode)
        SetMode(nMode, L"M" + std::to_wstring(nMode), {nMode, 15, 0, 8, 2});
    g_nModes = 7;
    ASSERT_TRUE(config.Save());

    RegTree expected;
    expected.values = {{L"AGC", Dword(48)},           {kBandValues[0], Dword(8)},
                       {kBandValues[1], Dword(8)},    {kBandValues[2], Dword(8)},
                       {kBandValues[3], Dword(8)},    {kBandValues[4], Dword(8)},
                       {L"CurPF", Dword(0xFFFFFFFF)}, {L"Count", Dword(7)},
                       {L"EQ Enabled", Dword(1)},     {L"AGC Enabled", Dword(0)}};
    for (int nMode = 0; nMode < 7; ++nMode)
        expected.keys[ModeKeyName(nMode)] =
            ModeKeyTree(L"M" + std::to_wstring(nMode), {nMode, 15, 0, 8, 2});
    EXPECT_EQ(StoredSettings(), expected);
    EXPECT_EQ(StoredSettings().keys[L"00003"].values[L"Name"].data.size(), 6u)
        << "two characters and the terminator";

    CAudioConfig reloaded;
    g_nModes = 0;
    ASSERT_TRUE(reloaded.Load());
    EXPECT_EQ(g_nModes, 7);
    EXPECT_EQ(reloaded.m_nCurMode, -1);
    EXPECT_FALSE(reloaded.m_bAGCEnable);
}

TEST_F(SettingsStoreTest, SaveWithoutControlPanelChangesNothing) {
    DeleteTree(HKEY_CURRENT_USER, kSettingsParent);
    CAudioConfig config;
    config.Load();
    ASSERT_TRUE(config.m_bLoaded);
    EXPECT_FALSE(config.Save());
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kSettingsParent));
}

// Records the gain levels written, in order, on their way to the registry, and counts the flushes.
class AGCWriteLog : public CRegistryRoute {
public:
    AGCWriteLog() : m_pPrevious(SetRegistryRoute(this)) {}
    ~AGCWriteLog() { SetRegistryRoute(m_pPrevious); }
    LONG FlushKey(HKEY hKey) override {
        ++m_nFlushes;
        return CRegistryRoute::FlushKey(hKey);
    }
    int Flushes() const { return m_nFlushes; }
    LONG SetValue(HKEY hKey, LPCWSTR pszName, DWORD dwType, const BYTE* pData,
                  DWORD cbData) override {
        if (std::wstring(pszName) == L"AGC") {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_levels.push_back(*reinterpret_cast<const DWORD*>(pData));
        }
        return CRegistryRoute::SetValue(hKey, pszName, dwType, pData, cbData);
    }
    std::vector<DWORD> BandLevels() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_levels;
    }

private:
    CRegistryRoute* m_pPrevious;
    mutable std::mutex m_mutex;
    std::vector<DWORD> m_levels;
    std::atomic<int> m_nFlushes{0};
};

TEST_F(SettingsStoreTest, TheWorkerStoresEachLevelTheDriverAccepted) {
    FakeDevice device;
    AGCWriteLog agcWrites;
    CAudioConfig config;
    ASSERT_TRUE(config.Attach(nullptr));
    ASSERT_TRUE(WaitUntil([&] { return config.SetBandLevel(2, 6); }));
    ASSERT_TRUE(WaitUntil([] { return StoredSettings().values[L"1KHz"] == Dword(6); }));

    // A refused level is not stored; the accepted one after it shows the pass has ended.
    device.Refuse(AUDMSG_EQ_BAND_FIRST + 0);
    ASSERT_TRUE(config.SetBandLevel(0, 3));
    ASSERT_TRUE(config.SetBandLevel(4, 1));
    ASSERT_TRUE(WaitUntil([] { return StoredSettings().values[kBandValues[4]] == Dword(1); }));
    EXPECT_EQ(config.GetBandLevel(0), 8);
    EXPECT_EQ(StoredSettings().values.count(kBandValues[0]), 0u);

    // A gain level stored while the previous one is being sent is not taken for an accepted one.
    device.HoldSends();
    ASSERT_TRUE(config.SetAGCLevel(52));
    ASSERT_TRUE(device.WaitForHeldSend());
    ASSERT_TRUE(config.SetAGCLevel(56));
    device.ReleaseSends();
    ASSERT_TRUE(WaitUntil([&] { return agcWrites.BandLevels().size() >= 2; }));
    EXPECT_EQ(agcWrites.BandLevels(), (std::vector<DWORD>{52, 56}));
    EXPECT_EQ(StoredSettings().values[L"AGC"], Dword(56));

    // Levels are never flushed one by one; a switch and a save are, once each.
    EXPECT_EQ(agcWrites.Flushes(), 0);
    ASSERT_TRUE(config.SetEQEnable(FALSE));
    EXPECT_EQ(agcWrites.Flushes(), 1);
    config.Save();
    EXPECT_EQ(agcWrites.Flushes(), 2);
}

} // namespace
