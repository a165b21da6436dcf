#include "support/AppFixture.h"

#include "support/AppControls.h"
#include "support/Wait.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr DWORD kHeadphoneQuery = 123;

} // namespace

std::wstring ModeKeyName(int nMode) {
    wchar_t szName[16];
    ::wsprintfW(szName, L"%05d", nMode);
    return szName;
}

RegTree StoredMode(const std::wstring& strName, const BandLevels& levels) {
    RegTree tree;
    tree.values[L"Name"] = Sz(strName);
    for (int nBand = 0; nBand < 5; ++nBand)
        tree.values[kBandValues[nBand]] = Dword(static_cast<DWORD>(levels[nBand]));
    return tree;
}

RegTree SettingsWithOwnModes(const std::vector<std::wstring>& ownNames) {
    const BandLevels builtIn[6] = {{8, 8, 8, 8, 8}, {7, 4, 6, 5, 3}, {3, 5, 9, 4, 5},
                                   {8, 7, 6, 6, 4}, {6, 2, 7, 8, 3}, {12, 9, 2, 9, 12}};
    const wchar_t* const builtInNames[6] = {L"Flat", L"Classical", L"Rock",
                                            L"Jazz", L"Dance",     L"Vocal"};
    RegTree tree;
    for (int nBand = 0; nBand < 5; ++nBand)
        tree.values[kBandValues[nBand]] = Dword(8);
    tree.values[L"AGC"] = Dword(48);
    tree.values[L"EQ Enabled"] = Dword(1);
    tree.values[L"AGC Enabled"] = Dword(1);
    tree.values[L"CurPF"] = Dword(0);
    tree.values[L"Count"] = Dword(static_cast<DWORD>(6 + ownNames.size()));
    for (int nMode = 0; nMode < 6; ++nMode)
        tree.keys[ModeKeyName(nMode)] = StoredMode(builtInNames[nMode], builtIn[nMode]);
    for (size_t nOwn = 0; nOwn < ownNames.size(); ++nOwn) {
        const int nLevel = static_cast<int>(nOwn % 16);
        tree.keys[ModeKeyName(6 + static_cast<int>(nOwn))] =
            StoredMode(ownNames[nOwn], {nLevel, nLevel, nLevel, nLevel, nLevel});
    }
    return tree;
}

void AppTest::SetUp() { DeleteTree(HKEY_CURRENT_USER, kSettingsPath); }

void AppTest::TearDown() {
    m_app.reset();
    m_standIn.reset();
}

void AppTest::Start(const std::wstring& strStandInOptions, const RegTree* pStored) {
    if (pStored)
        WriteTree(HKEY_CURRENT_USER, kSettingsPath, *pStored);
    m_standIn = std::make_unique<StandIn>(strStandInOptions);
    ASSERT_TRUE(m_standIn->WaitServing());
    m_app = std::make_unique<AppUnderTest>();
    ASSERT_TRUE(m_app->WaitForSheet()) << "the sheet did not show";
}

void AppTest::Close(bool bOK) {
    if (bOK)
        m_app->PressOK();
    else
        m_app->PressCancel();
    DWORD dwExitCode = 1;
    ASSERT_TRUE(m_app->WaitForExit(dwExitCode)) << "the application did not end";
    EXPECT_EQ(dwExitCode, 0u);
}

std::vector<LogLine> AppTest::SetMessages() const {
    std::vector<LogLine> messages = m_standIn->Messages();
    messages.erase(
        std::remove_if(messages.begin(), messages.end(),
                       [](const LogLine& line) { return line.dwMsg == kHeadphoneQuery; }),
        messages.end());
    return messages;
}

bool AppTest::WaitForMessage(DWORD dwMsg, DWORD dwParam, const std::string& strResult) {
    return WaitUntil([&] {
        for (const LogLine& line : m_standIn->Messages()) {
            if (line.dwMsg == dwMsg && line.dwParam == dwParam && line.strResult == strResult)
                return true;
        }
        return false;
    });
}

bool AppTest::WaitForStored(LPCWSTR pszName, DWORD dwValue) {
    return WaitUntil([&] { return StoredNumber(pszName) == static_cast<long long>(dwValue); });
}

RegTree AppTest::Stored() const {
    RegTree tree;
    ReadTree(HKEY_CURRENT_USER, kSettingsPath, tree);
    return tree;
}

long long AppTest::StoredNumber(LPCWSTR pszName) const {
    DWORD dwValue = 0;
    DWORD cbValue = sizeof dwValue;
    DWORD dwType = 0;
    if (::RegGetValueW(HKEY_CURRENT_USER, kSettingsPath, pszName, RRF_RT_ANY, &dwType, &dwValue,
                       &cbValue) != ERROR_SUCCESS ||
        dwType != REG_DWORD)
        return -2;
    return dwValue;
}

void AppTest::RestartApp() {
    m_app = std::make_unique<AppUnderTest>();
    ASSERT_TRUE(m_app->WaitForSheet()) << "the sheet did not show";
}

void AppTest::NewMode(const std::wstring& strName) {
    m_app->Press(2011);
    const HWND hDialog = m_app->WaitForWindow(L"Save Mode");
    ASSERT_TRUE(hDialog) << "no Save Mode dialog";
    AppUnderTest::SetText(hDialog, 2151, strName);
    ASSERT_TRUE(m_app->AnswerAndWait(hDialog, IDOK)) << "the dialog stayed open";
}

void AppTest::Confirm(int nButton, const std::wstring& strQuestion, int nAnswer) {
    m_app->Press(nButton);
    const HWND hBox = m_app->WaitForWindow(L"Muntara Audio");
    ASSERT_TRUE(hBox) << "no question for button " << nButton;
    EXPECT_EQ(AppUnderTest::MessageText(hBox), strQuestion);
    ASSERT_TRUE(m_app->AnswerAndWait(hBox, nAnswer));
}

std::vector<std::wstring> ComboTexts(const AppUnderTest& app, int nComboID) {
    std::vector<std::wstring> texts;
    const int nCount = app.ComboCount(nComboID);
    for (int nIndex = 0; nIndex < nCount; ++nIndex)
        texts.push_back(app.ComboText(nComboID, nIndex));
    return texts;
}

std::vector<std::wstring> StoredModeNames(const RegTree& stored) {
    std::vector<std::wstring> names;
    const auto count = stored.values.find(L"Count");
    if (count == stored.values.end() || count->second.data.size() != sizeof(DWORD))
        return names;
    DWORD dwCount = 0;
    std::copy(count->second.data.begin(), count->second.data.end(),
              reinterpret_cast<BYTE*>(&dwCount));
    for (DWORD dwMode = 0; dwMode < dwCount; ++dwMode) {
        const auto mode = stored.keys.find(ModeKeyName(static_cast<int>(dwMode)));
        if (mode == stored.keys.end() || !mode->second.values.count(L"Name"))
            break;
        const std::vector<BYTE>& bytes = mode->second.values.at(L"Name").data;
        std::wstring strName(bytes.size() / sizeof(wchar_t), L'\0');
        std::copy(bytes.begin(), bytes.begin() + strName.size() * sizeof(wchar_t),
                  reinterpret_cast<BYTE*>(&strName[0]));
        names.push_back(strName.c_str()); // up to the terminating zero
    }
    return names;
}

unsigned SuiteSeed() {
    const char* const pszSeed = std::getenv("MUNTARA_SEED");
    const unsigned nSeed = pszSeed ? static_cast<unsigned>(std::strtoul(pszSeed, nullptr, 10))
                                   : static_cast<unsigned>(::GetTickCount64());
    std::printf("seed %u (replay with MUNTARA_SEED=%u)\n", nSeed, nSeed);
    return nSeed;
}

bool LongRun() {
    const char* const pszLong = std::getenv("MUNTARA_LONG");
    return pszLong && std::string(pszLong) == "1";
}
