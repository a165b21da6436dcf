#pragma once

#include "platform/Handle.h"

#include <windows.h>

#include <string>

// Whether the tests drive the handheld program under the handheld personality
// (MUNTARA_PROGRAM=handheld) rather than the desktop program: the same cases run on both.
bool HandheldProgram();

// A reset of the handheld under the personality: its registry comes back as the program last
// flushed it. A desktop's registry is never behind, so there it does nothing.
void ResetHandheld();

// The built application (or another program with its sheet, such as the benchmarks' floor),
// started as a process from the build's bin folder, found by its sheet
// and driven from the test's process the way a user would: every message goes to the real
// controls of the other process. Cancels the sheet when destroyed, and ends the process by its
// handle only if it does not end by itself.
class AppUnderTest {
public:
    explicit AppUnderTest(const std::wstring& strExeName = L"muntara.exe");
    ~AppUnderTest();
    AppUnderTest(const AppUnderTest&) = delete;
    AppUnderTest& operator=(const AppUnderTest&) = delete;

    // The sheet is shown and its first page initialised.
    bool WaitForSheet();
    HWND Sheet() const { return m_hSheet; }
    // A control of either page (page windows exist once shown), or nullptr.
    HWND Control(int nID) const;
    // Waits for a control of a page that may not exist yet.
    HWND WaitForControl(int nID) const;

    // The sheet's tabs: 0 "Equalizer", 1 "Mic".
    void SelectTab(int nPage) const;
    void PressOK() const;
    void PressCancel() const;
    bool WaitForExit(DWORD& dwExitCode, DWORD timeoutMs = 20000);
    // Ends the process at once, as a crash or a power cut would.
    void Kill();
    bool Running() const;

    // User actions on the controls.
    bool Click(int nID) const; // a button or check box; false when not handled within 10 s
    void Press(int nID) const; // a button whose handler opens a modal window
    void ChooseMode(int nComboID, int nIndex) const; // picks a list entry like a tap would
    // The thumb set to nPos; the trackbar repaints when the application's loop is idle.
    void MoveSlider(int nID, int nPos) const;
    void PressKey(int nID, UINT vk) const; // a key press while the control has the focus

    int SliderPos(int nID) const;
    int ComboSelection(int nID) const;
    int ComboCount(int nID) const;
    std::wstring ComboText(int nID, int nIndex) const;
    std::wstring Text(int nID) const;
    bool Enabled(int nID) const;
    bool Checked(int nID) const;

    // A top-level dialog of the application other than the sheet, with that caption.
    HWND WaitForWindow(const std::wstring& strCaption, DWORD timeoutMs = 10000) const;
    bool WindowGone(HWND hWnd, DWORD timeoutMs = 10000) const;
    // The text of a message box, and its type seen through its buttons and icon.
    static std::wstring MessageText(HWND hBox);
    // Presses a button of a message box or dialog (IDOK, IDYES, IDNO, IDCANCEL).
    static void Answer(HWND hDialog, int nButtonID);
    static void SetText(HWND hDialog, int nID, const std::wstring& strText);
    // Presses the button and waits until the window is gone and the handler that opened it has
    // returned.
    bool AnswerAndWait(HWND hDialog, int nButtonID) const;
    // Returns once the application's thread has handled everything sent before.
    void Sync() const;

    DWORD ProcessId() const { return m_dwProcessId; }
    HANDLE Process() const { return m_hProcess.Get(); }
    // What the handheld personality reported so far: a "handheld:" line per broken contract.
    std::string HandheldReports() const;

private:
    // Closes whatever is open and the sheet; ends the process if it does not end by itself.
    void Close();

    platform::UniqueHandle m_hProcess;
    platform::UniqueHandle m_hReports; // the handheld program's standard error, a file
    DWORD m_dwProcessId = 0;
    HWND m_hSheet = nullptr;
};

// A visible top-level window of the process with that caption: the sheet, or one that is not.
HWND FindProcessWindow(DWORD dwProcessId, const std::wstring& strCaption, HWND hExcept,
                       bool bSheet = false);
