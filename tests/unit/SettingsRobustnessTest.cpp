#include "settings/RegistryRoute.h"
#include "unit/SettingsScratch.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <functional>
#include <random>
#include <vector>

namespace {

const LPCWSTR kMainValues[] = {L"AGC",         kBandValues[0], kBandValues[1], kBandValues[2],
                               kBandValues[3], kBandValues[4], L"CurPF",       L"Count",
                               L"EQ Enabled",  L"AGC Enabled"};

// A settings object whose every field starts as a sentinel, so that a value Load misses shows.
class SentinelConfig : public CAudioConfig {
public:
    SentinelConfig() {
        for (auto& nBand : m_nBand)
            nBand = 0x5A5A;
        m_nAGCLevel = 0x5A5A;
        m_bEQEnable = m_bAGCEnable = 0x5A5A;
        m_nCurMode = 0x5A5A;
    }
};

void FillModesWithSentinels() {
    for (EQ_MODE& mode : g_Modes) {
        ::lstrcpynW(mode.szName, L"sentinel", kMaxModeName + 1);
        std::fill(std::begin(mode.nLevel), std::end(mode.nLevel), 0x5A5A);
    }
    g_nModes = 0;
}

// What a successful Save leaves, whatever was stored before.
void ExpectLayout(const RegTree& stored, int nLine) {
    SCOPED_TRACE(testing::Message() << "called from line " << nLine);
    ASSERT_EQ(stored.values.size(), 10u);
    for (const LPCWSTR pszName : kMainValues) {
        const auto it = stored.values.find(pszName);
        ASSERT_NE(it, stored.values.end());
        EXPECT_EQ(it->second.dwType, static_cast<DWORD>(REG_DWORD));
        EXPECT_EQ(it->second.data.size(), 4u);
    }
    DWORD dwCount = 0;
    std::memcpy(&dwCount, stored.values.at(L"Count").data.data(), sizeof dwCount);
    ASSERT_LE(dwCount, static_cast<DWORD>(kModeCapacity));
    ASSERT_EQ(stored.keys.size(), dwCount);
    for (int nMode = 0; nMode < static_cast<int>(dwCount); ++nMode) {
        const auto it = stored.keys.find(ModeKeyName(nMode));
        ASSERT_NE(it, stored.keys.end());
        EXPECT_TRUE(it->second.keys.empty());
        EXPECT_EQ(it->second.values.size(), 6u);
        const RegValue& name = it->second.values.at(L"Name");
        EXPECT_EQ(name.dwType, static_cast<DWORD>(REG_SZ));
        ASSERT_GE(name.data.size(), 2u);
        EXPECT_LE(name.data.size(), 522u);
        EXPECT_EQ(name.data.size() % 2, 0u);
        EXPECT_EQ(name.data.end()[-1] | name.data.end()[-2], 0) << "terminated";
        for (const LPCWSTR pszBand : kBandValues)
            EXPECT_EQ(it->second.values.at(pszBand).data.size(), 4u);
    }
}

class Corruption {
public:
    explicit Corruption(unsigned nSeed) : m_rng(nSeed) {}

    RegTree Settings() {
        RegTree tree;
        for (const LPCWSTR pszName : kMainValues)
            if (Chance(75))
                tree.values[pszName] = Chance(60) ? Dword(Number()) : Value();
        if (Chance(80))
            tree.values[L"Count"] = Chance(85) ? Dword(Count()) : Value();
        const int nKeys = Below(27);
        for (int nMode = 0; nMode < nKeys; ++nMode)
            if (Chance(90))
                tree.keys[ModeKeyName(nMode)] = Mode();
        if (Chance(20))
            tree.values[L"Foreign"] = Value();
        if (Chance(20))
            tree.keys[L"Foreign"].keys[L"Child"].values[L"x"] = Value();
        return tree;
    }

private:
    bool Chance(int nPercent) { return Below(100) < nPercent; }
    int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_rng); }
    DWORD Number() { return Chance(70) ? static_cast<DWORD>(Below(70)) : m_rng(); }

    DWORD Count() {
        switch (Below(4)) {
        case 0:
            return static_cast<DWORD>(-1 - Below(1000000));
        case 1:
            return 24u + m_rng() % 0x7FFFFFE8u;
        case 2:
            return 0x80000000u;
        default:
            return static_cast<DWORD>(Below(kModeCapacity + 1));
        }
    }

    RegValue Value() {
        const DWORD types[] = {REG_NONE,  REG_SZ,       REG_EXPAND_SZ, REG_BINARY,
                               REG_DWORD, REG_MULTI_SZ, REG_QWORD};
        RegValue value{types[Below(7)], std::vector<BYTE>(Chance(50) ? 4 : Below(13))};
        for (BYTE& b : value.data)
            b = static_cast<BYTE>(m_rng());
        return value;
    }

    RegValue Name() {
        const int lengths[] = {0, 1, 7, 259, 260, 261, 262, 300};
        const int nLength = Chance(90) ? Below(30) : lengths[Below(8)];
        std::wstring str;
        for (int i = 0; i < nLength; ++i)
            str += Chance(2) ? L'\0' : static_cast<WCHAR>(L'!' + Below(0x3000));
        RegValue value = Sz(str, Chance(50));
        if (Chance(10))
            value.data.push_back(0x41); // an odd byte count
        if (Chance(10))
            value.dwType = REG_BINARY;
        return value;
    }

    RegTree Mode() {
        RegTree tree;
        if (Chance(85))
            tree.values[L"Name"] = Name();
        for (const LPCWSTR pszBand : kBandValues)
            if (Chance(85))
                tree.values[pszBand] = Chance(80) ? Dword(Number()) : Value();
        if (Chance(5))
            tree.values[L"Extra"] = Value();
        return tree;
    }

    std::mt19937 m_rng;
};

unsigned SeedFromEnvironment() {
    const char* const pszSeed = std::getenv("MUNTARA_SEED");
    return pszSeed ? static_cast<unsigned>(std::strtoul(pszSeed, nullptr, 10))
                   : std::random_device{}();
}

using SettingsRobustnessTest = SettingsTest;

TEST_F(SettingsRobustnessTest, CorruptContentsLoadWithinTheTableAndSaveCleanly) {
    constexpr int kRuns = 1000;
    const unsigned nSeed = SeedFromEnvironment();
    std::printf("corruption seed %u (replay with MUNTARA_SEED=%u)\n", nSeed, nSeed);
    Corruption corruption(nSeed);
    const auto start = std::chrono::steady_clock::now();
    for (int nRun = 0; nRun < kRuns; ++nRun) {
        SCOPED_TRACE(testing::Message() << "run " << nRun << " of seed " << nSeed);
        SetUp();
        WriteTree(HKEY_CURRENT_USER, kSettingsPath, corruption.Settings());
        const RegTree written = StoredSettings();

        CAudioConfig first;
        ASSERT_TRUE(first.Load());
        ASSERT_GE(g_nModes, 0);
        ASSERT_LE(g_nModes, kModeCapacity);
        const int nFound = first.FindCurrentMode();
        ASSERT_TRUE(nFound == -1 || (nFound == first.m_nCurMode && nFound < g_nModes));
        for (const EQ_MODE& mode : g_Modes)
            ASSERT_NE(std::wmemchr(mode.szName, L'\0', kMaxModeName + 1), nullptr);
        if (!first.m_bLoaded) { // a name too long for a record
            ASSERT_FALSE(first.Save());
            ASSERT_EQ(StoredSettings(), written) << "nothing written over a mode not read";
            continue;
        }
        ASSERT_TRUE(first.Save());
        const RegTree saved = StoredSettings();
        ExpectLayout(saved, __LINE__);

        FillModesWithSentinels();
        SentinelConfig second;
        ASSERT_TRUE(second.Load());
        ASSERT_TRUE(second.Save());
        ASSERT_EQ(StoredSettings(), saved) << "the second Load reproduces what Save wrote";
    }
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    std::printf("%d corrupt contents in %lld ms\n", kRuns, static_cast<long long>(ms.count()));
}

// Makes the nth registry step of the settings code fail; 0 counts the steps without failing.
class FailingRegistry : public CRegistryRoute {
public:
    explicit FailingRegistry(int nFailAt)
        : m_nFailAt(nFailAt), m_pPrevious(SetRegistryRoute(this)) {}
    ~FailingRegistry() { SetRegistryRoute(m_pPrevious); }
    int Steps() const { return m_nSteps; }

    LONG OpenKey(HKEY h, LPCWSTR psz, REGSAM sam, PHKEY ph) override {
        return Step() ? CRegistryRoute::OpenKey(h, psz, sam, ph) : ERROR_ACCESS_DENIED;
    }
    LONG CreateKey(HKEY h, LPCWSTR psz, REGSAM sam, PHKEY ph) override {
        return Step() ? CRegistryRoute::CreateKey(h, psz, sam, ph) : ERROR_ACCESS_DENIED;
    }
    LONG SetValue(HKEY h, LPCWSTR psz, DWORD dwType, const BYTE* p, DWORD cb) override {
        return Step() ? CRegistryRoute::SetValue(h, psz, dwType, p, cb) : ERROR_ACCESS_DENIED;
    }
    LONG EnumKey(HKEY h, DWORD dwIndex, LPWSTR psz, LPDWORD pcch) override {
        return Step() ? CRegistryRoute::EnumKey(h, dwIndex, psz, pcch) : ERROR_ACCESS_DENIED;
    }
    LONG EnumValue(HKEY h, DWORD dwIndex, LPWSTR psz, LPDWORD pcch) override {
        return Step() ? CRegistryRoute::EnumValue(h, dwIndex, psz, pcch) : ERROR_ACCESS_DENIED;
    }
    LONG DeleteKey(HKEY h, LPCWSTR psz) override {
        return Step() ? CRegistryRoute::DeleteKey(h, psz) : ERROR_ACCESS_DENIED;
    }
    LONG DeleteValue(HKEY h, LPCWSTR psz) override {
        return Step() ? CRegistryRoute::DeleteValue(h, psz) : ERROR_ACCESS_DENIED;
    }

private:
    bool Step() { return ++m_nSteps != m_nFailAt; }

    int m_nSteps = 0;
    const int m_nFailAt;
    CRegistryRoute* const m_pPrevious;
};

struct StoredMode {
    std::wstring strName;
    BandLevels levels;
    bool operator==(const StoredMode& other) const {
        return strName == other.strName && levels == other.levels;
    }
};

std::vector<StoredMode> ModesInMemory() {
    std::vector<StoredMode> modes;
    for (int nMode = 0; nMode < g_nModes; ++nMode)
        modes.push_back({g_Modes[nMode].szName, ModeLevels(nMode)});
    return modes;
}

bool Contains(const std::vector<StoredMode>& modes, const StoredMode& mode) {
    return std::find(modes.begin(), modes.end(), mode) != modes.end();
}

// No mode's name is paired with another's levels; one being overwritten may keep old ones.
bool HasItsOwnLevels(const StoredMode& mode, std::vector<StoredMode> modes) {
    for (int nBand = 0; nBand < kBandCount; ++nBand)
        if (std::none_of(modes.begin(), modes.end(), [&](const StoredMode& other) {
                return other.strName == mode.strName && other.levels[nBand] == mode.levels[nBand];
            }))
            return false;
    return true;
}

// Nine stored modes, a stale mode key beyond the count and foreign entries; g_AudioConfig in
// memory as stored.
RegTree StoreNineModes() {
    for (int nMode = 0; nMode < 9; ++nMode)
        SetMode(nMode,
                nMode < kBuiltInCount ? kBuiltInNames[nMode] : L"own " + std::to_wstring(nMode),
                {nMode, 9 - nMode, 3, 4, 5});
    g_nModes = 9;
    g_AudioConfig.m_nCurMode = 7;
    g_AudioConfig.m_bEQEnable = TRUE;
    EXPECT_TRUE(g_AudioConfig.Save());
    RegTree stored = StoredSettings();
    stored.values[L"Foreign"] = Dword(1);
    stored.keys[L"Foreign"].keys[L"Child"] = {};
    stored.keys[L"00011"] = ModeKeyTree(L"stale", {1, 1, 1, 1, 1});
    WriteTree(HKEY_CURRENT_USER, kSettingsPath, stored);
    return stored;
}

// What Save takes from memory and a failed step may leave behind.
struct MemoryState {
    std::array<EQ_MODE, kModeCapacity> modes;
    int nModes, nCurMode;
    BOOL bEQEnable;
};

MemoryState CopyOfMemory() {
    MemoryState state;
    std::memcpy(state.modes.data(), g_Modes, sizeof g_Modes);
    state.nModes = g_nModes;
    state.nCurMode = g_AudioConfig.m_nCurMode;
    state.bEQEnable = g_AudioConfig.m_bEQEnable;
    return state;
}

void RestoreMemory(const MemoryState& state) {
    std::memcpy(g_Modes, state.modes.data(), sizeof g_Modes);
    g_nModes = state.nModes;
    g_AudioConfig.m_nCurMode = state.nCurMode;
    g_AudioConfig.m_bEQEnable = state.bEQEnable;
}

// Runs operation, which ends in Save, once with each registry step failing in turn. After each
// failure the stored settings still hold every mode stored before that the operation kept, no
// mode with another's levels, and each value as stored before or as in memory; a Save that then
// succeeds leaves what an undisturbed operation leaves.
void FailEachStepOf(const std::function<void()>& operation, int nLine) {
    SCOPED_TRACE(testing::Message() << "called from line " << nLine);
    const RegTree before = StoreNineModes();
    const MemoryState memoryBefore = CopyOfMemory();
    const auto modesBefore = ModesInMemory();

    int nSteps = 0;
    {
        FailingRegistry counter(0);
        operation();
        nSteps = counter.Steps();
    }
    const RegTree after = StoredSettings();
    const auto modesKept = ModesInMemory();
    ASSERT_GT(nSteps, 20);
    std::printf("line %d: each of %d registry steps fails in turn\n", nLine, nSteps);

    for (int nFailAt = 1; nFailAt <= nSteps; ++nFailAt) {
        SCOPED_TRACE(testing::Message() << "step " << nFailAt << " of " << nSteps << " fails");
        DeleteTree(HKEY_CURRENT_USER, kSettingsPath);
        WriteTree(HKEY_CURRENT_USER, kSettingsPath, before);
        RestoreMemory(memoryBefore);
        {
            FailingRegistry failing(nFailAt);
            operation();
        }
        const MemoryState memoryAfter = CopyOfMemory();
        const RegTree stored = StoredSettings();
        for (const LPCWSTR pszName : kMainValues) {
            const auto it = stored.values.find(pszName);
            ASSERT_NE(it, stored.values.end());
            EXPECT_TRUE(it->second == before.values.at(pszName) ||
                        it->second == after.values.at(pszName))
                << "value " << std::string(pszName, pszName + std::wcslen(pszName));
        }
        FillModesWithSentinels();
        SentinelConfig probe;
        ASSERT_TRUE(probe.Load());
        const auto modesLoaded = ModesInMemory();
        auto both = modesBefore;
        both.insert(both.end(), modesKept.begin(), modesKept.end());
        for (const StoredMode& mode : modesBefore) {
            if (Contains(modesKept, mode)) {
                EXPECT_TRUE(Contains(modesLoaded, mode))
                    << "mode " << std::string(mode.strName.begin(), mode.strName.end()) << " lost";
            }
        }
        for (const StoredMode& mode : modesLoaded)
            EXPECT_TRUE(HasItsOwnLevels(mode, both))
                << "mode " << std::string(mode.strName.begin(), mode.strName.end()) << " mixed";

        RestoreMemory(memoryAfter);
        ASSERT_TRUE(g_AudioConfig.Save());
        EXPECT_EQ(StoredSettings(), after);
    }
}

TEST_F(SettingsRobustnessTest, AFailedSaveLosesNothingStoredBefore) {
    FailEachStepOf([] { AddMode(L"new"); }, __LINE__);
    FailEachStepOf([] { DeleteMode(6); }, __LINE__);
    FailEachStepOf(
        [] {
            g_AudioConfig.CopyModeLevels(7, 0);
            g_AudioConfig.m_bEQEnable = FALSE;
            g_AudioConfig.Save();
        },
        __LINE__);
}

// A load the registry refused leaves the defaults in memory: no mode command may store them
// over the stored own modes.
TEST_F(SettingsRobustnessTest, NoModeCommandStoresAfterARefusedLoad) {
    const RegTree stored = StoreNineModes();
    // The open of the settings key, of an own mode's subkey.
    for (const int nRefused : {1, 2 + kBuiltInCount}) {
        SCOPED_TRACE(testing::Message() << "registry step " << nRefused << " refused");
        SetUp(); // the program's start, with the settings stored
        WriteTree(HKEY_CURRENT_USER, kSettingsPath, stored);
        {
            FailingRegistry refused(nRefused);
            g_AudioConfig.Load();
        }
        EXPECT_FALSE(g_AudioConfig.m_bLoaded);

        const int nFresh = AddMode(L"Fresh");
        EXPECT_GE(nFresh, kBuiltInCount);
        g_AudioConfig.CopyModeLevels(nFresh, 0);
        EXPECT_FALSE(g_AudioConfig.Save());
        DeleteMode(nFresh);
        EXPECT_EQ(StoredSettings(), stored);
    }
}

} // namespace
