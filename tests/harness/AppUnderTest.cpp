#include "harness/AppUnderTest.h"

#include "harness/Contract.h"
#include "harness/Program.h"
#include "harness/Wait.h"

#include <commctrl.h>
#include <prsht.h>

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr DWORD kExitWaitMs = 20000;
// The handheld build of the tests' build tree: the personality's loader and the handheld program.
constexpr wchar_t kHandheldLoader[] = L"..\\handheld\\bin\\handheld-loader.exe";
constexpr wchar_t kHandheldProgram[] = L"..\\handheld\\bin\\muntara.exe";

// A file for the personality's reports, deleted when its last handle closes.
platform::UniqueHandle ReportsFile() {
    wchar_t szFolder[MAX_PATH];
    wchar_t szPath[MAX_PATH];
    if (!::GetTempPathW(MAX_PATH, szFolder) || !::GetTempFileNameW(szFolder, L"hh", 0, szPath))
        return platform::UniqueHandle();
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    return platform::UniqueHandle(
        ::CreateFileW(szPath, GENERIC_READ | GENERIC_WRITE,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                      CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr));
}
constexpr wchar_t kSheetCaption[] = L"Muntara Audio";

std::wstring WindowText(HWND hWnd) {
    std::vector<wchar_t> text(static_cast<size_t>(::GetWindowTextLengthW(hWnd)) + 2);
    const int cch = ::GetWindowTextW(hWnd, text.data(), static_cast<int>(text.size()));
    return std::wstring(text.data(), cch > 0 ? cch : 0);
}

struct WindowSearch {
    DWORD dwProcessId;
    const std::wstring* pCaption;
    HWND hExcept;
    bool bSheet;
    HWND hFound;
};

// A property sheet is the window with a tab control; message boxes share its caption.
bool IsSheet(HWND hWnd) { return ::FindWindowExW(hWnd, nullptr, WC_TABCONTROLW, nullptr); }

BOOL CALLBACK MatchWindow(HWND hWnd, LPARAM lParam) {
    auto* const pSearch = reinterpret_cast<WindowSearch*>(lParam);
    DWORD dwProcessId = 0;
    ::GetWindowThreadProcessId(hWnd, &dwProcessId);
    if (dwProcessId != pSearch->dwProcessId || hWnd == pSearch->hExcept ||
        !::IsWindowVisible(hWnd) || WindowText(hWnd) != *pSearch->pCaption ||
        IsSheet(hWnd) != pSearch->bSheet)
        return TRUE;
    pSearch->hFound = hWnd;
    return FALSE;
}

struct ControlSearch {
    int nID;
    HWND hFound;
};

BOOL CALLBACK MatchControl(HWND hWnd, LPARAM lParam) {
    auto* const pSearch = reinterpret_cast<ControlSearch*>(lParam);
    if (::GetDlgCtrlID(hWnd) != pSearch->nID)
        return TRUE;
    pSearch->hFound = hWnd;
    return FALSE;
}

} // namespace

HWND FindProcessWindow(DWORD dwProcessId, const std::wstring& strCaption, HWND hExcept,
                       bool bSheet) {
    WindowSearch search = {dwProcessId, &strCaption, hExcept, bSheet, nullptr};
    ::EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.hFound;
}

bool HandheldProgram() {
    wchar_t szProgram[16] = {};
    return ::GetEnvironmentVariableW(L"MUNTARA_PROGRAM", szProgram, 16) &&
           std::wstring(szProgram) == L"handheld";
}

void ResetHandheld() {
    if (!HandheldProgram())
        return;
    platform::UniqueHandle hLoader;
    ASSERT_TRUE(StartProgram(kHandheldLoader, L"--reset", hLoader));
    DWORD dwExitCode = 1;
    ASSERT_EQ(::WaitForSingleObject(hLoader.Get(), ScaledTimeout(kExitWaitMs)), WAIT_OBJECT_0);
    ASSERT_TRUE(::GetExitCodeProcess(hLoader.Get(), &dwExitCode));
    EXPECT_EQ(dwExitCode, 0u) << "the reset failed";
}

AppUnderTest::AppUnderTest(const std::wstring& strExeName) {
    if (strExeName != L"muntara.exe" || !HandheldProgram()) {
        StartProgram(strExeName, L"", m_hProcess, &m_dwProcessId);
        return;
    }
    // The handheld program as built, or where MUNTARA_HANDHELD_PROGRAM says it was installed.
    wchar_t szInstalled[MAX_PATH] = {};
    const DWORD cchInstalled =
        ::GetEnvironmentVariableW(L"MUNTARA_HANDHELD_PROGRAM", szInstalled, MAX_PATH);
    const std::wstring strProgram = cchInstalled && cchInstalled < MAX_PATH
                                        ? std::wstring(szInstalled)
                                        : BinPath(kHandheldProgram);
    m_hReports = ReportsFile();
    const HANDLE stdHandles[3] = {nullptr, nullptr, m_hReports.Get()};
    StartProgram(kHandheldLoader, L"\"" + strProgram + L"\"", m_hProcess, &m_dwProcessId,
                 &stdHandles);
}

std::string AppUnderTest::HandheldReports() const {
    std::string strReports;
    if (!m_hReports)
        return strReports;
    // The program's handle shares the file's position: read from the start, then leave it at the
    // end.
    ::SetFilePointer(m_hReports.Get(), 0, nullptr, FILE_BEGIN);
    char buffer[512];
    DWORD cbRead = 0;
    while (::ReadFile(m_hReports.Get(), buffer, sizeof buffer, &cbRead, nullptr) && cbRead)
        strReports.append(buffer, cbRead);
    return strReports;
}

AppUnderTest::~AppUnderTest() {
    Close();
    // The handheld program meets every contract of the handheld, in every case.
    const std::string strReports = HandheldReports();
    EXPECT_EQ(strReports.find("handheld:"), std::string::npos) << strReports;
}

void AppUnderTest::Close() {
    if (!Running())
        return;
    // Whatever is open in front of the sheet closes first, so that the sheet can close.
    for (int nTry = 0; nTry < 20 && Running(); ++nTry) {
        HWND hFront = FindProcessWindow(m_dwProcessId, kSheetCaption, m_hSheet);
        if (!hFront)
            hFront = FindProcessWindow(m_dwProcessId, L"Save Mode", m_hSheet);
        if (hFront) {
            Answer(hFront, IDCANCEL);
            Answer(hFront, IDOK);
        } else if (m_hSheet)
            PressCancel();
        ::WaitForSingleObject(m_hProcess.Get(), 500);
    }
    if (::WaitForSingleObject(m_hProcess.Get(), ScaledTimeout(kExitWaitMs)) != WAIT_OBJECT_0)
        Kill();
}

bool AppUnderTest::Running() const {
    return m_hProcess && ::WaitForSingleObject(m_hProcess.Get(), 0) == WAIT_TIMEOUT;
}

void AppUnderTest::Kill() {
    if (m_hProcess) {
        ::TerminateProcess(m_hProcess.Get(), 3);
        ::WaitForSingleObject(m_hProcess.Get(), ScaledTimeout(kExitWaitMs));
    }
}

bool AppUnderTest::WaitForSheet() {
    const bool bShown = WaitUntil(
        [this] {
            // The sheet is known by its caption; its first page by a band slider.
            const HWND hSheet = FindProcessWindow(m_dwProcessId, kSheetCaption, nullptr, true);
            if (!hSheet)
                return false;
            m_hSheet = hSheet;
            return Control(kBand0) != nullptr;
        },
        20000);
    // The slider is made before the page's initialisation sets the controls from the stored
    // settings: a case reading them at once could see them unset.
    if (bShown)
        Sync();
    return bShown;
}

HWND AppUnderTest::Control(int nID) const {
    if (!m_hSheet)
        return nullptr;
    ControlSearch search = {nID, nullptr};
    ::EnumChildWindows(m_hSheet, MatchControl, reinterpret_cast<LPARAM>(&search));
    return search.hFound;
}

HWND AppUnderTest::WaitForControl(int nID) const {
    HWND hControl = nullptr;
    WaitUntil([&] { return (hControl = Control(nID)) != nullptr; });
    return hControl;
}

void AppUnderTest::SelectTab(int nPage) const { ::SendMessageW(m_hSheet, PSM_SETCURSEL, nPage, 0); }

void AppUnderTest::PressOK() const { ::PostMessageW(m_hSheet, PSM_PRESSBUTTON, PSBTN_OK, 0); }

void AppUnderTest::PressCancel() const {
    ::PostMessageW(m_hSheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
}

bool AppUnderTest::WaitForExit(DWORD& dwExitCode, DWORD timeoutMs) {
    if (!m_hProcess ||
        ::WaitForSingleObject(m_hProcess.Get(), ScaledTimeout(timeoutMs)) != WAIT_OBJECT_0)
        return false;
    return ::GetExitCodeProcess(m_hProcess.Get(), &dwExitCode) != FALSE;
}

bool AppUnderTest::Click(int nID) const {
    DWORD_PTR dwResult = 0;
    return ::SendMessageTimeoutW(Control(nID), BM_CLICK, 0, 0, SMTO_NORMAL, ScaledTimeout(10000),
                                 &dwResult) != 0;
}

// Posted: a sent click would wait for the handler, which waits for the modal window to close.
void AppUnderTest::Press(int nID) const { ::PostMessageW(Control(nID), BM_CLICK, 0, 0); }

void AppUnderTest::ChooseMode(int nComboID, int nIndex) const {
    const HWND hCombo = Control(nComboID);
    ::SendMessageW(hCombo, CB_SETCURSEL, nIndex, 0);
    ::SendMessageW(::GetParent(hCombo), WM_COMMAND, MAKEWPARAM(nComboID, CBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(hCombo));
}

void AppUnderTest::MoveSlider(int nID, int nPos) const {
    ::SendMessageW(Control(nID), TBM_SETPOS, TRUE, nPos);
}

void AppUnderTest::PressKey(int nID, UINT vk) const {
    const HWND hControl = Control(nID);
    ::SendMessageW(hControl, WM_KEYDOWN, vk, 1);
    ::SendMessageW(hControl, WM_KEYUP, vk, 0xC0000001);
}

int AppUnderTest::SliderPos(int nID) const {
    return static_cast<int>(::SendMessageW(Control(nID), TBM_GETPOS, 0, 0));
}

int AppUnderTest::ComboSelection(int nID) const {
    return static_cast<int>(::SendMessageW(Control(nID), CB_GETCURSEL, 0, 0));
}

int AppUnderTest::ComboCount(int nID) const {
    return static_cast<int>(::SendMessageW(Control(nID), CB_GETCOUNT, 0, 0));
}

std::wstring AppUnderTest::ComboText(int nID, int nIndex) const {
    const HWND hCombo = Control(nID);
    const LRESULT cch = ::SendMessageW(hCombo, CB_GETLBTEXTLEN, nIndex, 0);
    if (cch == CB_ERR)
        return L"<none>";
    std::vector<wchar_t> text(static_cast<size_t>(cch) + 1);
    ::SendMessageW(hCombo, CB_GETLBTEXT, nIndex, reinterpret_cast<LPARAM>(text.data()));
    return text.data();
}

std::wstring AppUnderTest::Text(int nID) const { return WindowText(Control(nID)); }

bool AppUnderTest::Enabled(int nID) const { return ::IsWindowEnabled(Control(nID)) != FALSE; }

bool AppUnderTest::Checked(int nID) const {
    return ::SendMessageW(Control(nID), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

HWND AppUnderTest::WaitForWindow(const std::wstring& strCaption, DWORD timeoutMs) const {
    HWND hWnd = nullptr;
    WaitUntil([&] { return (hWnd = FindProcessWindow(m_dwProcessId, strCaption, m_hSheet)); },
              timeoutMs);
    return hWnd;
}

bool AppUnderTest::WindowGone(HWND hWnd, DWORD timeoutMs) const {
    return WaitUntil([hWnd] { return !::IsWindow(hWnd) || !::IsWindowVisible(hWnd); }, timeoutMs);
}

std::wstring AppUnderTest::MessageText(HWND hBox) { return WindowText(::GetDlgItem(hBox, 0xFFFF)); }

void AppUnderTest::Answer(HWND hDialog, int nButtonID) {
    ::PostMessageW(hDialog, WM_COMMAND, MAKEWPARAM(nButtonID, BN_CLICKED), 0);
}

void AppUnderTest::SetText(HWND hDialog, int nID, const std::wstring& strText) {
    ::SendMessageW(::GetDlgItem(hDialog, nID), WM_SETTEXT, 0,
                   reinterpret_cast<LPARAM>(strText.c_str()));
}

bool AppUnderTest::AnswerAndWait(HWND hDialog, int nButtonID) const {
    Answer(hDialog, nButtonID);
    if (!WindowGone(hDialog))
        return false;
    Sync();
    return true;
}

// A sent message is handled only when the thread looks at its queue again, that is after the
// handler that ran the closed window has returned.
void AppUnderTest::Sync() const {
    DWORD_PTR dwResult = 0;
    ::SendMessageTimeoutW(m_hSheet, WM_NULL, 0, 0, SMTO_NORMAL, ScaledTimeout(10000), &dwResult);
}
