#pragma once

#include "harness/AppUnderTest.h"
#include "harness/StandIn.h"
#include "harness/StoredSettings.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

// The texts of a list's entries, in order.
std::vector<std::wstring> ComboTexts(const AppUnderTest& app, int nComboID);
// A suite's seed: MUNTARA_SEED to replay a failure, else a new one; printed either way.
unsigned SuiteSeed();
// MUNTARA_LONG=1 asks for the long variants of the fault suites.
bool LongRun();

// Each test starts on no settings key, with a stand-in of its own and then the application.
class AppTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Stores pStored (if any), starts the stand-in with the options, then the application, and
    // waits for its sheet.
    void Start(const std::wstring& strStandInOptions = L"", const RegTree* pStored = nullptr);
    // Closes the sheet with OK or cancel and waits for the process to end.
    void Close(bool bOK);

    // The set messages the stand-in logged so far (headphone queries left out).
    std::vector<LogLine> SetMessages() const;
    // Waits for a set message with that parameter and result among all logged.
    bool WaitForMessage(DWORD dwMsg, DWORD dwParam, const std::string& strResult = "accepted");
    // Waits until the stored value reads dwValue.
    bool WaitForStored(LPCWSTR pszName, DWORD dwValue);
    RegTree Stored() const { return StoredSettings(); }
    // A REG_DWORD of the settings key, or -2 when it is missing.
    long long StoredNumber(LPCWSTR pszName) const;

    // Starts the application again on the running stand-in and waits for its sheet.
    void RestartApp();
    // Opens the Save Mode dialog with New; the dialog, or nullptr.
    HWND OpenSaveModeDialog() const;
    // Opens the Save Mode dialog with New, sets the name into its edit and presses OK.
    void NewMode(const std::wstring& strName);
    // Presses a button that asks a question, checks its text and answers it.
    void Confirm(int nButton, const std::wstring& strQuestion, int nAnswer = IDYES);

    // The band sliders' positions in band order.
    BandLevels Sliders() const;
    // The nine controls the equalizer switch greys out, all enabled (or all greyed); and with the
    // switch itself as given, which a missing headphone greys too.
    bool NineEnabled(bool bEnabled) const;
    bool Usable(bool bNine, bool bCheckBox) const;
    // The plug-in prompt is open: made by the application, whether shown yet or not.
    bool PromptOpen() const;
    // Waits until the stand-in has answered nCount headphone queries more than now: that many of
    // the page's ticks have passed.
    bool WaitForTicks(size_t nCount);

    StandIn& Driver() { return *m_standIn; }
    AppUnderTest& App() { return *m_app; }

    std::unique_ptr<StandIn> m_standIn;
    std::unique_ptr<AppUnderTest> m_app;
};
