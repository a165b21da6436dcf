#include "harness/AppFixture.h"

#include "harness/Contract.h"
#include "harness/Wait.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

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

HWND AppTest::OpenSaveModeDialog() const {
    m_app->Press(kNew);
    return m_app->WaitForWindow(L"Save Mode");
}

void AppTest::NewMode(const std::wstring& strName) {
    const HWND hDialog = OpenSaveModeDialog();
    ASSERT_TRUE(hDialog) << "no Save Mode dialog";
    AppUnderTest::SetText(hDialog, kNameEdit, strName);
    ASSERT_TRUE(m_app->AnswerAndWait(hDialog, IDOK)) << "the dialog stayed open";
}

void AppTest::Confirm(int nButton, const std::wstring& strQuestion, int nAnswer) {
    m_app->Press(nButton);
    const HWND hBox = m_app->WaitForWindow(L"Muntara Audio");
    ASSERT_TRUE(hBox) << "no question for button " << nButton;
    EXPECT_EQ(AppUnderTest::MessageText(hBox), strQuestion);
    ASSERT_TRUE(m_app->AnswerAndWait(hBox, nAnswer));
}

BandLevels AppTest::Sliders() const {
    BandLevels levels;
    for (int nBand = 0; nBand < 5; ++nBand)
        levels[nBand] = m_app->SliderPos(kBandControls[nBand]);
    return levels;
}

bool AppTest::NineEnabled(bool bEnabled) const {
    for (const int nID : kNineControls) {
        if (m_app->Enabled(nID) != bEnabled)
            return false;
    }
    return true;
}

bool AppTest::Usable(bool bNine, bool bCheckBox) const {
    return NineEnabled(bNine) && m_app->Enabled(kEnableEQ) == bCheckBox;
}

namespace {

struct PromptSearch {
    DWORD dwProcessId;
    bool bFound;
};

BOOL CALLBACK FindPrompt(HWND hWnd, LPARAM lParam) {
    auto* const pSearch = reinterpret_cast<PromptSearch*>(lParam);
    DWORD dwProcessId = 0;
    ::GetWindowThreadProcessId(hWnd, &dwProcessId);
    pSearch->bFound =
        dwProcessId == pSearch->dwProcessId &&
        AppUnderTest::MessageText(hWnd) == L"Plug-in headphone to activate Equalizer Function.";
    return !pSearch->bFound;
}

size_t HeadphoneQueries(const StandIn& standIn) {
    const std::vector<LogLine> messages = standIn.Messages();
    return static_cast<size_t>(
        std::count_if(messages.begin(), messages.end(),
                      [](const LogLine& line) { return line.dwMsg == kHeadphoneQuery; }));
}

} // namespace

bool AppTest::PromptOpen() const {
    PromptSearch search = {m_app->ProcessId(), false};
    ::EnumWindows(FindPrompt, reinterpret_cast<LPARAM>(&search));
    return search.bFound;
}

bool AppTest::WaitForTicks(size_t nCount) {
    const size_t nTarget = HeadphoneQueries(*m_standIn) + nCount;
    return WaitUntil([&] { return HeadphoneQueries(*m_standIn) >= nTarget; });
}

std::vector<std::wstring> ComboTexts(const AppUnderTest& app, int nComboID) {
    std::vector<std::wstring> texts;
    const int nCount = app.ComboCount(nComboID);
    for (int nIndex = 0; nIndex < nCount; ++nIndex)
        texts.push_back(app.ComboText(nComboID, nIndex));
    return texts;
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
