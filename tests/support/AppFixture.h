#pragma once

#include "support/AppUnderTest.h"
#include "support/RegistryTree.h"
#include "support/StandIn.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

// The settings key as the application must use it.
constexpr LPCWSTR kSettingsPath = L"ControlPanel\\Trilbo Audio";

using BandLevels = std::array<int, 5>;

// A stored own mode, as the settings key holds it.
RegTree StoredMode(const std::wstring& strName, const BandLevels& levels);
std::wstring ModeKeyName(int nMode);
// A settings key as a closed application leaves it: the six built-in modes, then the given own
// modes (own mode k at level k % 16 on every band), live levels 8, current mode "Flat".
RegTree SettingsWithOwnModes(const std::vector<std::wstring>& ownNames);

// The texts of a list's entries, in order.
std::vector<std::wstring> ComboTexts(const AppUnderTest& app, int nComboID);
// The names of the stored modes 0..Count - 1 as Load reads them (up to a missing subkey).
std::vector<std::wstring> StoredModeNames(const RegTree& stored);
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
    RegTree Stored() const;
    // A REG_DWORD of the settings key, or -2 when it is missing.
    long long StoredNumber(LPCWSTR pszName) const;

    // Starts the application again on the running stand-in and waits for its sheet.
    void RestartApp();
    // Opens the Save Mode dialog with New, sets the name into its edit and presses OK.
    void NewMode(const std::wstring& strName);
    // Presses a button that asks a question, checks its text and answers it.
    void Confirm(int nButton, const std::wstring& strQuestion, int nAnswer = IDYES);

    StandIn& Driver() { return *m_standIn; }
    AppUnderTest& App() { return *m_app; }

    std::unique_ptr<StandIn> m_standIn;
    std::unique_ptr<AppUnderTest> m_app;
};
