// The Equalizer page driven as a user would, on the real application, the real stand-in and the
// real registry.
#include "harness/AppFixture.h"
#include "harness/Contract.h"
#include "harness/Wait.h"

#include <commctrl.h>

namespace {

class EqualizerPageTest : public AppTest {
protected:
    // Presses a mode button and returns the message box it opens.
    HWND PressForMessage(int nButton) {
        App().Press(nButton);
        return App().WaitForWindow(L"Muntara Audio");
    }
    void ExpectRefusal(int nButton, const std::wstring& strText) {
        const HWND hBox = PressForMessage(nButton);
        ASSERT_TRUE(hBox) << "no message for button " << nButton;
        EXPECT_EQ(AppUnderTest::MessageText(hBox), strText);
        EXPECT_FALSE(::GetDlgItem(hBox, IDNO)) << "a refusal asks nothing";
        EXPECT_TRUE(App().AnswerAndWait(hBox, IDOK));
    }
};

TEST_F(EqualizerPageTest, FirstStartShowsTheBuiltInModesAtFlatAndSendsNothing) {
    Start();
    ASSERT_EQ(App().ComboCount(kModeList), kBuiltInCount);
    for (int nMode = 0; nMode < kBuiltInCount; ++nMode)
        EXPECT_EQ(App().ComboText(kModeList, nMode), kBuiltInNames[nMode]);
    EXPECT_EQ(App().ComboSelection(kModeList), 0);
    EXPECT_EQ(Sliders(), (BandLevels{8, 8, 8, 8, 8}));
    EXPECT_TRUE(App().Checked(kEnableEQ));
    EXPECT_TRUE(NineEnabled(true));
    EXPECT_EQ(App().Text(kEQTitle), L"Headphone Equalizer");
    EXPECT_EQ(App().Text(kEnableEQ), L"Enable Headphone Equalizer");
    EXPECT_EQ(App().Text(kEQMax), L"MAX");
    EXPECT_EQ(App().Text(kModeLabel), L"Mode:");
    ASSERT_TRUE(Driver().WaitForMessages(1)) << "the first headphone query";
    Close(true);
    EXPECT_TRUE(SetMessages().empty()) << "start-up and close send no setting";
    EXPECT_EQ(Stored().keys.size(), 6u);
    EXPECT_EQ(StoredNumber(L"CurPF"), 0);
}

TEST_F(EqualizerPageTest, ChoosingAModeMovesTheSlidersAndStoresItAtOnce) {
    Start();
    App().ChooseMode(kModeList, 2); // "Rock"
    EXPECT_EQ(StoredNumber(L"CurPF"), 2) << "stored before the handler returned";
    EXPECT_EQ(Sliders(), (BandLevels{3, 5, 9, 4, 5}));
    const DWORD rock[] = {3, 5, 9, 4, 5};
    for (DWORD nBand = 0; nBand < 5; ++nBand) {
        EXPECT_TRUE(WaitForMessage(kBandMsg + nBand, rock[nBand])) << "band " << nBand;
        EXPECT_TRUE(WaitForStored(kBandValues[nBand], rock[nBand])) << "band " << nBand;
    }
    EXPECT_EQ(SetMessages().size(), 5u) << "one message per changed band";
}

TEST_F(EqualizerPageTest, EachSliderDrivesItsOwnBand) {
    Start();
    App().MoveSlider(kBand3, 2); // 3.5KHz
    EXPECT_TRUE(WaitForMessage(kBandMsg + 3, 2));
    App().MoveSlider(kBand2, 12); // 1KHz
    EXPECT_TRUE(WaitForMessage(kBandMsg + 2, 12));
    App().PressKey(kBand0, VK_DOWN); // 100Hz, one step towards MIN
    EXPECT_TRUE(WaitForMessage(kBandMsg + 0, 9));
    App().PressKey(kBand4, VK_END);
    EXPECT_TRUE(WaitForMessage(kBandMsg + 4, 15));
    EXPECT_TRUE(WaitForStored(kBandValues[3], 2));
    EXPECT_TRUE(WaitForStored(kBandValues[2], 12));
    EXPECT_TRUE(WaitForStored(kBandValues[0], 9));
    EXPECT_TRUE(WaitForStored(kBandValues[4], 15));
    EXPECT_EQ(StoredNumber(L"250Hz"), -2) << "nothing stored for a band never moved";
    EXPECT_EQ(App().ComboSelection(kModeList), 0) << "moving a slider leaves the list alone";
}

TEST_F(EqualizerPageTest, TheCheckBoxSwitchesTheEqualizerAndItsNineControls) {
    Start();
    App().Click(kEnableEQ);
    EXPECT_FALSE(App().Checked(kEnableEQ));
    EXPECT_TRUE(NineEnabled(false));
    EXPECT_TRUE(App().Enabled(kEnableEQ));
    EXPECT_TRUE(WaitForMessage(kEQEnableMsg, 0));
    EXPECT_EQ(StoredNumber(L"EQ Enabled"), 0);
    App().Click(kEnableEQ);
    EXPECT_TRUE(NineEnabled(true));
    EXPECT_TRUE(WaitForMessage(kEQEnableMsg, 1));
    EXPECT_EQ(StoredNumber(L"EQ Enabled"), 1);
}

TEST_F(EqualizerPageTest, ARefusedBandIsTriedAgainAtTheNextRepaint) {
    Start(L"--refuse=116"); // band 2
    App().MoveSlider(kBand2, 3);
    ASSERT_TRUE(WaitForMessage(kBandMsg + 2, 3, "refused"));
    EXPECT_EQ(App().SliderPos(kBand2), 3) << "the page never moves a slider back";
    EXPECT_EQ(StoredNumber(L"1KHz"), -2);
    ASSERT_TRUE(Driver().Do("accept 116", "# accepting 116"));
    ::RedrawWindow(App().Control(kBand2), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_TRUE(WaitForMessage(kBandMsg + 2, 3, "accepted"));
    EXPECT_TRUE(WaitForStored(L"1KHz", 3));
}

TEST_F(EqualizerPageTest, WithoutAHeadphoneThePromptShowsOnceAndClosesByItself) {
    Start(L"--headphone=off");
    const HWND hPrompt = App().WaitForWindow(L"Muntara Audio");
    ASSERT_TRUE(hPrompt) << "no plug-in prompt";
    EXPECT_EQ(AppUnderTest::MessageText(hPrompt),
              L"Plug-in headphone to activate Equalizer Function.");
    EXPECT_FALSE(App().Enabled(kEnableEQ));
    EXPECT_TRUE(NineEnabled(false));

    ASSERT_TRUE(Driver().Do("headphone on", "# headphone on"));
    EXPECT_TRUE(App().WindowGone(hPrompt, 5000)) << "the prompt closes at the next tick";
    EXPECT_TRUE(WaitUntil([&] { return Usable(true, true); }));

    // Unplugged and plugged again: controls follow, the prompt never comes back, neither at the
    // tick that greys them nor at the two ticks after the plug-in (each handled, by Sync).
    ASSERT_TRUE(Driver().Do("headphone off", "# headphone off"));
    EXPECT_TRUE(WaitUntil([&] { return Usable(false, false); }));
    App().Sync();
    EXPECT_FALSE(PromptOpen());
    ASSERT_TRUE(Driver().Do("headphone on", "# headphone on"));
    EXPECT_TRUE(WaitUntil([&] { return Usable(true, true); }));
    ASSERT_TRUE(WaitForTicks(2));
    App().Sync();
    EXPECT_FALSE(PromptOpen());
}

TEST_F(EqualizerPageTest, APromptClosedByTheUserLeavesNothingToClose) {
    Start(L"--headphone=off");
    const HWND hPrompt = App().WaitForWindow(L"Muntara Audio");
    ASSERT_TRUE(hPrompt);
    ASSERT_TRUE(App().AnswerAndWait(hPrompt, IDOK));
    App().SelectTab(1);

    ASSERT_TRUE(Driver().Do("headphone on", "# headphone on"));
    ASSERT_TRUE(WaitUntil([&] { return App().Enabled(kEnableEQ); }));
    // Answered once the tick that saw the headphone has returned.
    ::SendMessageW(App().Sheet(), WM_NULL, 0, 0);
    EXPECT_TRUE(App().Running()) << "nothing pressed the sheet's OK";
    EXPECT_TRUE(::IsWindowVisible(App().Sheet()));
}

TEST_F(EqualizerPageTest, NewIsRefusedAtTwentyTwoEntriesAndWorksAgainAfterADelete) {
    std::vector<std::wstring> names;
    for (int nOwn = 0; nOwn < 16; ++nOwn)
        names.push_back(L"Own " + std::to_wstring(nOwn));
    const RegTree stored = SettingsWithOwnModes(names);
    Start(L"", &stored);
    ASSERT_EQ(App().ComboCount(kModeList), 22);
    ExpectRefusal(kNew, L"Can't add more mode! the maximum user-defined mode number is 16.");
    // The handler has returned (ExpectRefusal waited for it): no dialog opened after the refusal.
    EXPECT_FALSE(FindProcessWindow(App().ProcessId(), L"Save Mode", App().Sheet()));

    App().ChooseMode(kModeList, 21);
    const HWND hConfirm = PressForMessage(kDelete);
    ASSERT_TRUE(hConfirm);
    ASSERT_TRUE(App().AnswerAndWait(hConfirm, IDYES));
    EXPECT_EQ(App().ComboCount(kModeList), 21);
    const HWND hDialog = OpenSaveModeDialog();
    ASSERT_TRUE(hDialog);
    AppUnderTest::Answer(hDialog, IDCANCEL);
}

TEST_F(EqualizerPageTest, BuiltInModesCanBeNeitherOverwrittenNorDeleted) {
    Start();
    App().ChooseMode(kModeList, 2);
    ExpectRefusal(kSave, L"Can't modify the default mode!");
    ExpectRefusal(kDelete, L"Can't delete the default mode!");
    EXPECT_EQ(App().ComboCount(kModeList), 6);
}

TEST_F(EqualizerPageTest, TheDialogRefusesEmptyAndTakenNamesAndTakesANewOne) {
    Start();
    App().MoveSlider(kBand1, 2);
    ASSERT_TRUE(WaitForMessage(kBandMsg + 1, 2));
    const HWND hDialog = OpenSaveModeDialog();
    ASSERT_TRUE(hDialog);
    wchar_t szLabel[64] = {};
    ::GetDlgItemTextW(hDialog, kNameLabel, szLabel, 64);
    EXPECT_STREQ(szLabel, L"Mode Name:");
    for (const auto& [strName, strRefusal] :
         {std::pair<std::wstring, std::wstring>{L"", L"The mode name can not be empty!"},
          {L"Flat", L"Mode name already exists.  Please use another name."}}) {
        AppUnderTest::SetText(hDialog, kNameEdit, strName);
        AppUnderTest::Answer(hDialog, IDOK);
        const HWND hBox = App().WaitForWindow(L"Muntara Audio");
        ASSERT_TRUE(hBox);
        EXPECT_EQ(AppUnderTest::MessageText(hBox), strRefusal);
        EXPECT_EQ(::GetWindow(hBox, GW_OWNER), hDialog) << "the dialog owns its refusals";
        ASSERT_TRUE(App().AnswerAndWait(hBox, IDOK));
        EXPECT_TRUE(::IsWindowVisible(hDialog)) << "the dialog stays open";
    }
    AppUnderTest::SetText(hDialog, kNameEdit, L"flat");
    ASSERT_TRUE(App().AnswerAndWait(hDialog, IDOK));

    EXPECT_EQ(App().ComboCount(kModeList), 7);
    EXPECT_EQ(App().ComboText(kModeList, 6), L"flat");
    EXPECT_EQ(App().ComboSelection(kModeList), 6);
    EXPECT_EQ(Sliders(), (BandLevels{8, 2, 8, 8, 8})) << "sliders stay";
    const RegTree stored = Stored();
    EXPECT_EQ(StoredNumber(L"Count"), 7);
    EXPECT_EQ(StoredNumber(L"CurPF"), 6);
    ASSERT_EQ(stored.keys.count(L"00006"), 1u);
    EXPECT_EQ(stored.keys.at(L"00006"), ModeKeyTree(L"flat", {8, 2, 8, 8, 8}));
}

TEST_F(EqualizerPageTest, OverwritingAnOwnModeAsksAndTakesTheLiveLevels) {
    const RegTree stored = SettingsWithOwnModes({L"Mine"});
    Start(L"", &stored);
    App().ChooseMode(kModeList, 6);
    App().MoveSlider(kBand4, 1);
    ASSERT_TRUE(WaitForMessage(kBandMsg + 4, 1)) << "the slider has repainted";
    const HWND hConfirm = PressForMessage(kSave);
    ASSERT_TRUE(hConfirm);
    EXPECT_EQ(AppUnderTest::MessageText(hConfirm), L"Save \"Mine\" Mode?");
    EXPECT_TRUE(::GetDlgItem(hConfirm, IDYES) && ::GetDlgItem(hConfirm, IDNO));
    ASSERT_TRUE(App().AnswerAndWait(hConfirm, IDYES));
    EXPECT_EQ(Stored().keys.at(L"00006"), ModeKeyTree(L"Mine", {0, 0, 0, 0, 1}));
    EXPECT_EQ(App().ComboSelection(kModeList), 6);
}

TEST_F(EqualizerPageTest, DeletingEntrySevenOfNineKeepsListAndTableInStep) {
    const RegTree stored = SettingsWithOwnModes({L"A", L"B", L"C"});
    Start(L"", &stored);
    App().ChooseMode(kModeList, 7);
    const HWND hConfirm = PressForMessage(kDelete);
    ASSERT_TRUE(hConfirm);
    EXPECT_EQ(AppUnderTest::MessageText(hConfirm), L"Delete \"B\" Mode?");
    ASSERT_TRUE(App().AnswerAndWait(hConfirm, IDYES));

    ASSERT_EQ(App().ComboCount(kModeList), 8);
    EXPECT_EQ(App().ComboText(kModeList, 7), L"C");
    EXPECT_EQ(App().ComboSelection(kModeList), -1);
    const RegTree after = Stored();
    EXPECT_EQ(StoredNumber(L"Count"), 8);
    EXPECT_EQ(StoredNumber(L"CurPF"), 0xFFFFFFFFll);
    EXPECT_EQ(after.keys.at(L"00007"), ModeKeyTree(L"C", {2, 2, 2, 2, 2}));
    EXPECT_EQ(after.keys.count(L"00008"), 0u);
    // Nothing selected: Save and Delete do nothing and say nothing; a sent click returns once its
    // handler has, which a question or refusal it opened would keep from returning.
    EXPECT_TRUE(App().Click(kSave));
    EXPECT_TRUE(App().Click(kDelete));
    EXPECT_FALSE(FindProcessWindow(App().ProcessId(), L"Muntara Audio", App().Sheet()));
}

TEST_F(EqualizerPageTest, CancelAndNoChangeNothing) {
    const RegTree stored = SettingsWithOwnModes({L"Mine"});
    Start(L"", &stored);
    App().ChooseMode(kModeList, 6);
    ASSERT_TRUE(WaitForStored(kBandValues[4], 0)) << "the mode's levels are applied and stored";
    const RegTree before = Stored();

    const HWND hDialog = OpenSaveModeDialog();
    ASSERT_TRUE(hDialog);
    AppUnderTest::SetText(hDialog, kNameEdit, L"Never");
    ASSERT_TRUE(App().AnswerAndWait(hDialog, IDCANCEL));
    for (const int nButton : {kSave, kDelete}) {
        const HWND hConfirm = PressForMessage(nButton);
        ASSERT_TRUE(hConfirm);
        ASSERT_TRUE(App().AnswerAndWait(hConfirm, IDNO));
    }
    EXPECT_EQ(App().ComboCount(kModeList), 7);
    EXPECT_EQ(App().ComboSelection(kModeList), 6);
    EXPECT_EQ(Stored(), before);
}

} // namespace
