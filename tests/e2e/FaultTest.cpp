// Faults from outside on the real application: a driver that refuses at random, ends or flaps its
// headphone, a process killed while it stores, and names no mode record can hold. Each suite is
// bounded in time and count; MUNTARA_LONG=1 runs the long variants, MUNTARA_SEED replays one.
#include "harness/AppFixture.h"
#include "harness/Contract.h"
#include "harness/Wait.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <random>

namespace {

// Names as their length and last two code units, so that a failure reads in one line.
std::string Describe(const std::vector<std::wstring>& names) {
    std::string strText;
    for (const std::wstring& strName : names) {
        char szName[48];
        std::snprintf(szName, sizeof szName, " %zu:%04X,%04X", strName.size(),
                      strName.size() > 1 ? strName[strName.size() - 2] : 0,
                      strName.empty() ? 0 : strName.back());
        strText += szName;
    }
    return strText;
}

class FaultTest : public AppTest {
protected:
    // The band's last logged message, and its last accepted one (-1 for none).
    void LastOfBand(int nBand, long& nLogged, long& nAccepted) const {
        nLogged = nAccepted = -1;
        for (const LogLine& line : SetMessages()) {
            if (line.dwMsg != kBandMsg + nBand)
                continue;
            nLogged = line.dwParam;
            if (line.strResult == "accepted")
                nAccepted = line.dwParam;
        }
    }
    // Every slider's position has been sent, or is what the driver has; then no message for
    // three of the worker's 100 ms pauses.
    bool WaitForBandsSettled() {
        const bool bSent = WaitUntil([&] {
            for (int nBand = 0; nBand < 5; ++nBand) {
                long nLogged, nAccepted;
                LastOfBand(nBand, nLogged, nAccepted);
                const long nPos = App().SliderPos(kBandControls[nBand]);
                if (nPos != nLogged && nPos != (nAccepted < 0 ? 8 : nAccepted))
                    return false;
            }
            return true;
        });
        size_t nCount = SetMessages().size();
        ULONGLONG quietSince = ::GetTickCount64();
        return bSent && WaitUntil([&] {
                   if (SetMessages().size() != nCount) {
                       nCount = SetMessages().size();
                       quietSince = ::GetTickCount64();
                   }
                   return ::GetTickCount64() - quietSince >= 300;
               });
    }
};

TEST_F(FaultTest, ASliderStormAgainstRandomRefusalsStoresOnlyWhatTheDriverAccepted) {
    const unsigned nSeed = SuiteSeed();
    Start(L"--refuse-rate=30 --seed=" + std::to_wstring(nSeed));
    std::mt19937 random(nSeed);
    const int nMoves = LongRun() ? 2000 : 200;
    for (int nMove = 0; nMove < nMoves; ++nMove) {
        App().MoveSlider(kBandControls[random() % 5], static_cast<int>(random() % 16));
        ::Sleep(random() % 20); // some moves repaint one by one, some together
    }
    ASSERT_TRUE(WaitForBandsSettled());
    const std::vector<LogLine> storm = SetMessages();
    const auto nRefused = std::count_if(storm.begin(), storm.end(), [](const LogLine& line) {
        return line.strResult == "refused";
    });
    std::printf("%d moves, %zu band messages, %ld refused\n", nMoves, storm.size(),
                static_cast<long>(nRefused));
    ASSERT_GT(nRefused, 0);
    for (int nBand = 0; nBand < 5; ++nBand) {
        long nLogged, nAccepted;
        LastOfBand(nBand, nLogged, nAccepted);
        EXPECT_TRUE(nAccepted < 0 ? StoredNumber(kBandValues[nBand]) == -2
                                  : WaitForStored(kBandValues[nBand], nAccepted))
            << "band " << nBand << " stores " << StoredNumber(kBandValues[nBand])
            << ", the driver last accepted " << nAccepted;
    }

    // The driver takes everything again: the next repaints get each slider's level through.
    ASSERT_TRUE(Driver().Do("refuse-rate 0", "# refusing 0%"));
    for (const int nID : kBandControls)
        ::RedrawWindow(App().Control(nID), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    for (int nBand = 0; nBand < 5; ++nBand)
        EXPECT_TRUE(WaitForStored(kBandValues[nBand],
                                  static_cast<DWORD>(App().SliderPos(kBandControls[nBand]))))
            << "band " << nBand;
    ASSERT_TRUE(WaitForBandsSettled());
    Close(true);
}

TEST_F(FaultTest, ADriverEndedAndStartedAgainIsFoundAgainWithTheStoredSettings) {
    Start();
    App().ChooseMode(kModeList, 2); // "Rock"
    ASSERT_TRUE(WaitForStored(kBandValues[4], 5));
    Driver().Kill();
    EXPECT_TRUE(WaitUntil([&] { return Usable(false, false); }));
    m_standIn = std::make_unique<StandIn>();
    ASSERT_TRUE(Driver().WaitServing()) << "the pipe's name is free again";
    ASSERT_TRUE(Driver().Do("state", "# equalizer on, bands 3 5 9 4 5"))
        << "the driver starts with the stored settings";

    // The next once-a-second query finds it: the page un-greys within a tick.
    EXPECT_TRUE(WaitUntil([&] { return Usable(true, true); }, 2500));
    EXPECT_FALSE(PromptOpen());
    App().SelectTab(1);
    ASSERT_TRUE(App().WaitForControl(kLevel));
    App().Click(kEnableAGC);
    EXPECT_TRUE(WaitForMessage(kAGCEnableMsg, 0)) << "a switch reaches the driver again";
    EXPECT_EQ(StoredNumber(L"AGC Enabled"), 0) << "and is stored at once";
    Close(true);
    EXPECT_EQ(StoredNumber(L"CurPF"), 2);
    EXPECT_EQ(StoredNumber(L"1KHz"), 9);
}

// A driver stuck in the worker's send (the stand-in holds the 1KHz message; the page's queries
// are still answered): closing the sheet ends the program all the same, within the worker's end
// bound. On the handheld nothing bounds the send itself.
TEST_F(FaultTest, ADriverStuckInTheWorkersSendNeverKeepsTheProgramFromEnding) {
    Start();
    ASSERT_TRUE(Driver().Do("hold " + std::to_string(kBandMsg + 2), "# holding"));
    App().MoveSlider(kBand2, 3);
    ASSERT_TRUE(WaitForMessage(kBandMsg + 2, 3, "held")) << "the worker is in its send";
    App().PressOK();
    DWORD dwExitCode = 1;
    EXPECT_TRUE(App().WaitForExit(dwExitCode, 5000)) << "the program still runs 5 s after OK";
    ASSERT_TRUE(Driver().Do("release " + std::to_string(kBandMsg + 2), "# releasing"));
    EXPECT_TRUE(App().WaitForExit(dwExitCode));
}

TEST_F(FaultTest, AHeadphoneFlappingFiveTimesASecondNeverBringsThePromptBack) {
    const RegTree stored = SettingsWithOwnModes({L"Mine"});
    Start(L"--headphone=off", &stored);
    const HWND hPrompt = App().WaitForWindow(L"Muntara Audio");
    ASSERT_TRUE(hPrompt);
    ASSERT_TRUE(Driver().Do("headphone on", "# headphone on"));
    ASSERT_TRUE(App().WindowGone(hPrompt)) << "the one closing sequence";
    ASSERT_TRUE(WaitUntil([&] { return Usable(true, true); }));
    // A question left open: a second closing sequence would answer it.
    App().ChooseMode(kModeList, 6);
    App().Press(kSave);
    const HWND hQuestion = App().WaitForWindow(L"Muntara Audio");
    ASSERT_TRUE(hQuestion);

    const size_t nQueriesBefore = Driver().Messages().size();
    const ULONGLONG end = ::GetTickCount64() + (LongRun() ? 60000 : 10000);
    int nFlips = 0;
    while (::GetTickCount64() < end && !PromptOpen()) {
        ASSERT_TRUE(Driver().Do(nFlips++ % 2 ? "headphone on" : "headphone off", "# headphone"));
        ::Sleep(100);
    }
    const size_t nQueries = Driver().Messages().size() - nQueriesBefore;
    std::printf("%d flips, %zu headphone queries\n", nFlips, nQueries);
    EXPECT_FALSE(PromptOpen());
    EXPECT_GE(nQueries, 2u) << "the monitor kept ticking";
    ASSERT_TRUE(Driver().Do("headphone on", "# headphone on"));
    EXPECT_TRUE(::IsWindowVisible(hQuestion)) << "nothing answered the question";
    ASSERT_TRUE(App().AnswerAndWait(hQuestion, IDNO));
    EXPECT_TRUE(WaitUntil([&] { return Usable(true, true); }));
    EXPECT_EQ(Stored().keys, stored.keys) << "No changed no mode";
    Close(true);
}

TEST_F(FaultTest, KilledDuringNewSaveOrDeleteTheRegistryStillLoadsWithEveryModeStoredBefore) {
    const unsigned nSeed = SuiteSeed();
    std::mt19937 random(nSeed);
    const RegTree stored = SettingsWithOwnModes({L"Own 0", L"Own 1", L"Own 2"});
    Start(L"", &stored);
    const int nKills = LongRun() ? 60 : 8;
    int nNextName = 3;
    int nChanged = 0;
    for (int nKill = 0; nKill < nKills; ++nKill) {
        SCOPED_TRACE("kill " + std::to_string(nKill));
        const std::vector<std::wstring> before = StoredModeNames(Stored());
        const int nOwn = static_cast<int>(before.size()) - 6;
        const int nAction = nOwn >= 16 ? 2 : nOwn == 0 ? 0 : static_cast<int>(random() % 3);
        const int nMode = 6 + static_cast<int>(random() % std::max(nOwn, 1));
        std::wstring strDeleted;
        HWND hWindow = nullptr;
        if (nAction == 0) {
            hWindow = OpenSaveModeDialog();
            AppUnderTest::SetText(hWindow, kNameEdit, L"Own " + std::to_wstring(nNextName++));
        } else {
            App().ChooseMode(kModeList, nMode);
            App().Press(nAction == 1 ? kSave : kDelete);
            hWindow = App().WaitForWindow(L"Muntara Audio");
            if (nAction == 2)
                strDeleted = before[nMode];
        }
        ASSERT_TRUE(hWindow);
        AppUnderTest::Answer(hWindow, nAction == 0 ? IDOK : IDYES);
        ::Sleep(random() % 30); // the moment of the kill
        App().Kill();

        RestartApp();
        const std::vector<std::wstring> after = StoredModeNames(Stored());
        nChanged += after != before;
        EXPECT_EQ(ComboTexts(App(), kModeList), after);
        for (const std::wstring& strName : before)
            EXPECT_TRUE(strName == strDeleted ||
                        std::find(after.begin(), after.end(), strName) != after.end())
                << "lost " << strName;
    }
    std::printf("%d kills, %d of them after the stored modes changed\n", nKills, nChanged);
    Close(true);
}

TEST_F(FaultTest, NamesOfAnyLengthAreCutToTheRecordAtAWholeCharacter) {
    Start();
    const HWND hEmpty = OpenSaveModeDialog();
    ASSERT_TRUE(hEmpty);
    EXPECT_EQ(::SendDlgItemMessageW(hEmpty, kNameEdit, EM_GETLIMITTEXT, 0, 0), 260);
    AppUnderTest::SetText(hEmpty, kNameEdit, std::wstring(260, L'z'));
    ::SendDlgItemMessageW(hEmpty, kNameEdit, WM_CHAR, L'y', 1); // typed into a full edit
    EXPECT_EQ(::SendDlgItemMessageW(hEmpty, kNameEdit, WM_GETTEXTLENGTH, 0, 0), 260);
    AppUnderTest::SetText(hEmpty, kNameEdit, L"");
    AppUnderTest::Answer(hEmpty, IDOK);
    const HWND hRefusal = App().WaitForWindow(L"Muntara Audio");
    ASSERT_TRUE(hRefusal);
    EXPECT_EQ(AppUnderTest::MessageText(hRefusal), L"The mode name can not be empty!");
    ASSERT_TRUE(App().AnswerAndWait(hRefusal, IDOK));
    ASSERT_TRUE(App().AnswerAndWait(hEmpty, IDCANCEL));

    const std::wstring strNote = L"\U0001F3B5"; // one character, two code units
    const std::pair<std::wstring, std::wstring> names[] = {
        {L"x", L"x"},
        {std::wstring(259, L'a'), std::wstring(259, L'a')},
        {std::wstring(260, L'b'), std::wstring(260, L'b')},
        {std::wstring(261, L'c'), std::wstring(260, L'c')},
        {std::wstring(10000, L'd'), std::wstring(260, L'd')},
        {std::wstring(259, L'e') + strNote, std::wstring(259, L'e')},
        {std::wstring(259, L'g') + strNote[0], std::wstring(259, L'g')}, // the edit's limit
        {std::wstring(258, L'f') + strNote, std::wstring(258, L'f') + strNote},
        {strNote + L" Jazz", strNote + L" Jazz"},
    };
    std::vector<std::wstring> listed = ComboTexts(App(), kModeList);
    for (const auto& [strTyped, strKept] : names) {
        SCOPED_TRACE(std::to_string(strTyped.size()) + " code units");
        NewMode(strTyped);
        listed.push_back(strKept);
        EXPECT_EQ(Describe(ComboTexts(App(), kModeList)), Describe(listed));
        const RegTree now = Stored();
        EXPECT_EQ(Describe(StoredModeNames(now)), Describe(listed));
        EXPECT_TRUE(now.keys.at(ModeKeyName(static_cast<int>(listed.size()) - 1)) ==
                    ModeKeyTree(strKept, {8, 8, 8, 8, 8}));
    }
    // Cut, a longer name equals a stored one and is refused as taken.
    const HWND hTaken = OpenSaveModeDialog();
    ASSERT_TRUE(hTaken);
    AppUnderTest::SetText(hTaken, kNameEdit, std::wstring(300, L'b'));
    AppUnderTest::Answer(hTaken, IDOK);
    const HWND hExists = App().WaitForWindow(L"Muntara Audio");
    ASSERT_TRUE(hExists);
    EXPECT_EQ(AppUnderTest::MessageText(hExists),
              L"Mode name already exists.  Please use another name.");
    ASSERT_TRUE(App().AnswerAndWait(hExists, IDOK));
    ASSERT_TRUE(App().AnswerAndWait(hTaken, IDCANCEL));
    Close(true);

    RestartApp();
    EXPECT_EQ(Describe(ComboTexts(App(), kModeList)), Describe(listed)) << "loaded";
    Close(true);
}

} // namespace
