// A handheld program of the personality's own: built as the handheld program is (the handheld's
// convention, its two libraries, its subsystem), it makes each kind of call and callback the
// program makes and checks what comes back. Its argument plants one fault the handheld would
// meet, so that the personality can be seen to report exactly that one:
//
//   desktop-callback   its window procedure takes the desktop's convention
//   sheet-52           the sheet's header is a desktop's 52 bytes
//   string-zero-length a string loaded with the desktop's zero-length form
//   menu-on-top-level  its top-level window has a menu
//   icc-flag           a common-controls flag the handheld lacks
//   message-box-buttons  a message box with buttons 7, which the handheld does not define
//   message-box-icon   a message box with an icon the handheld does not define
//   send-timeout-flags a send with SMTO_ABORTIFHUNG, which the handheld does not take
//   message-box-text   a message box's text read through the box's controls
//
// or one documented use the personality once refused, which must pass without a report:
//
//   icc-documented     ICC_INTERNET_CLASSES and the 0x40 of the handheld's ICC_WIN95_CLASSES
//   class-documented   CS_GLOBALCLASS and CS_IME
//   page-documented    PSP_USEHICON, PSP_USEICONID and PSP_RTLREADING
//   message-box-documented  MB_RTLREADING
//
// Every run binds GetModuleHandleW by ordinal, answers the sheet's questions for its version and
// title, and shows a message box that a timer of its own closes. It returns 0 when every call did
// what the handheld's does, else the number of the first that did not.
#include <windows.h>

#include <commctrl.h>

#include "platform/HandheldForms.h"

extern "C" {
// The planted fault's window procedure (PlantedFault.S), which removes its own arguments as a
// desktop's does, declared as the handheld's.
LRESULT CALLBACK ProbeDesktopWindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
__declspec(dllimport) BOOL WINAPI EventModify(HANDLE hEvent, DWORD dwFunction);
__declspec(dllimport) DWORD WINAPI TlsCall(DWORD dwFunction, DWORD dwSlot);
}

// The handheld's name has no W.
#undef SendMessageTimeout
extern "C" __declspec(dllimport) LRESULT WINAPI
    SendMessageTimeout(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam, UINT uFlags,
                       UINT uTimeoutMs, PDWORD_PTR pdwResult);

namespace {

// The handheld's own values, which a desktop's headers do not have.
constexpr DWORD kEventSet = 3;
constexpr DWORD kTlsAlloc = 0;
constexpr DWORD kHandheldIccFlags = ICC_BAR_CLASSES | ICC_TAB_CLASSES;
constexpr DWORD kDesktopOnlyIccFlag = 0x4000;
constexpr DWORD kDocumentedIccFlags = ICC_INTERNET_CLASSES | 0x40;
// The questions the handheld's sheet asks its callback before it is made.
constexpr UINT kGetVersion = 3;
constexpr UINT kGetTitle = 4;
constexpr UINT kUndefinedButtons = 7;
constexpr UINT kUndefinedIcon = 0x50;
constexpr UINT_PTR kCloseTimer = 1;
constexpr int kDesktopMessageBoxTextID = 0xFFFF;

constexpr int kStringId = 1;
constexpr int kPageTemplate = 100;
constexpr int kMenuId = 200;
constexpr WCHAR kFrameClass[] = L"ProbeFrame";
constexpr WCHAR kSheetCaption[] = L"Probe sheet";
constexpr WCHAR kBoxCaption[] = L"Probe box";

using SheetHeader = platform::HandheldSheetHeader;
using SheetPage = platform::HandheldSheetPage;
constexpr DWORD kDesktopSheetHeaderBytes = 52;

enum class Fault {
    None,
    DesktopCallback,
    Sheet52,
    StringZeroLength,
    MenuOnTopLevel,
    IccFlag,
    MessageBoxButtons,
    MessageBoxIcon,
    SendTimeoutFlags,
    IccDocumented,
    ClassDocumented,
    PageDocumented,
    MessageBoxDocumented,
    MessageBoxText,
};

struct Seen {
    int nWindowMessages = 0;
    bool bNonClientMessage = false; // which the handheld never sends
    bool bFrameFound = false;
    bool bSheetInitialized = false;
    bool bVersionAsked = false;
    bool bSheetFound = false;
    int nPagesInitialized = 0;
};
Seen g_seen;
HWND g_hFrame = nullptr;

bool Same(LPCWSTR psz1, LPCWSTR psz2) { return ::wcscmp(psz1, psz2) == 0; }

Fault FaultNamed(LPCWSTR pszName) {
    const struct {
        LPCWSTR pszName;
        Fault fault;
    } faults[] = {{L"desktop-callback", Fault::DesktopCallback},
                  {L"sheet-52", Fault::Sheet52},
                  {L"string-zero-length", Fault::StringZeroLength},
                  {L"menu-on-top-level", Fault::MenuOnTopLevel},
                  {L"icc-flag", Fault::IccFlag},
                  {L"message-box-buttons", Fault::MessageBoxButtons},
                  {L"message-box-icon", Fault::MessageBoxIcon},
                  {L"send-timeout-flags", Fault::SendTimeoutFlags},
                  {L"icc-documented", Fault::IccDocumented},
                  {L"class-documented", Fault::ClassDocumented},
                  {L"page-documented", Fault::PageDocumented},
                  {L"message-box-documented", Fault::MessageBoxDocumented},
                  {L"message-box-text", Fault::MessageBoxText}};
    for (const auto& entry : faults)
        if (Same(pszName, entry.pszName))
            return entry.fault;
    return Fault::None;
}

bool IsNonClientMessage(UINT message) { return message >= WM_NCCREATE && message <= WM_NCACTIVATE; }

LRESULT CALLBACK WindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    ++g_seen.nWindowMessages;
    g_seen.bNonClientMessage |= IsNonClientMessage(message);
    return ::DefWindowProcW(hWnd, message, wParam, lParam);
}

DWORD CALLBACK SignalEvent(LPVOID pEvent) {
    return EventModify(static_cast<HANDLE>(pEvent), kEventSet) ? 0 : 1;
}

BOOL CALLBACK FindFrame(HWND hWnd, LPARAM lParam) {
    if (hWnd == reinterpret_cast<HWND>(lParam))
        g_seen.bFrameFound = true;
    return TRUE;
}

// The sheet's title comes from here: its header has another.
int CALLBACK SheetCallback(HWND, UINT message, LPARAM lParam) {
    if (message == PSCB_INITIALIZED)
        g_seen.bSheetInitialized = true;
    g_seen.bVersionAsked |= message == kGetVersion;
    if (message == kGetTitle)
        ::wsprintfW(reinterpret_cast<LPWSTR>(lParam), L"%s", kSheetCaption);
    return 0;
}

// Closes the message box, found by the handheld's dialog class and its caption, with OK.
void CALLBACK CloseMessageBox(HWND, UINT, UINT_PTR, DWORD) {
    const HWND hBox = ::FindWindowW(L"Dialog", kBoxCaption);
    if (hBox)
        ::PostMessageW(hBox, WM_COMMAND, IDOK, 0);
}

// Reads the box's text where a desktop's message box shows it, then closes the box.
void CALLBACK ReadMessageBox(HWND hWnd, UINT message, UINT_PTR idTimer, DWORD dwTime) {
    const HWND hBox = ::FindWindowW(L"Dialog", kBoxCaption);
    WCHAR szText[16];
    if (hBox)
        ::GetDlgItemTextW(hBox, kDesktopMessageBoxTextID, szText, 16);
    CloseMessageBox(hWnd, message, idTimer, dwTime);
}

// The first page finds its sheet by the handheld's dialog class and closes it with OK.
INT_PTR CALLBACK PageProc(HWND hPage, UINT message, WPARAM, LPARAM lParam) {
    g_seen.bNonClientMessage |= IsNonClientMessage(message);
    if (message != WM_INITDIALOG)
        return FALSE;
    ++g_seen.nPagesInitialized;
    if (reinterpret_cast<const SheetPage*>(lParam)->lParam == 0) {
        const HWND hSheet = ::GetParent(hPage);
        g_seen.bSheetFound = ::FindWindowW(L"Dialog", kSheetCaption) == hSheet;
        ::PostMessageW(hSheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
    }
    return TRUE;
}

bool StartControls(Fault fault) {
    INITCOMMONCONTROLSEX init = {sizeof init, kHandheldIccFlags};
    if (fault == Fault::IccFlag)
        init.dwICC |= kDesktopOnlyIccFlag;
    if (fault == Fault::IccDocumented)
        init.dwICC |= kDocumentedIccFlags;
    return ::InitCommonControlsEx(&init);
}

// The handheld's form: no buffer, the string's address back; its length is the word before it.
bool LoadsItsString(HINSTANCE hInstance, Fault fault) {
    LPCWSTR pszString = nullptr;
    if (fault == Fault::StringZeroLength)
        ::LoadStringW(hInstance, kStringId, reinterpret_cast<LPWSTR>(&pszString), 0);
    else
        pszString = reinterpret_cast<LPCWSTR>(::LoadStringW(hInstance, kStringId, nullptr, 0));
    return pszString && pszString[-1] == 5 && pszString[0] == L'P' && pszString[4] == L'e';
}

bool MakesItsFrame(HINSTANCE hInstance, Fault fault) {
    WNDCLASSW frameClass = {};
    frameClass.style = fault == Fault::ClassDocumented ? CS_GLOBALCLASS | CS_IME : 0;
    frameClass.lpfnWndProc = fault == Fault::DesktopCallback ? ProbeDesktopWindowProc : WindowProc;
    frameClass.hInstance = hInstance;
    frameClass.hbrBackground =
        reinterpret_cast<HBRUSH>((COLOR_WINDOW | platform::kHandheldSysColorIndexFlag) + 1);
    frameClass.lpszClassName = kFrameClass;
    if (!::RegisterClassW(&frameClass))
        return false;
    const HMENU hMenu = fault == Fault::MenuOnTopLevel
                            ? ::LoadMenuW(hInstance, MAKEINTRESOURCEW(kMenuId))
                            : nullptr;
    g_hFrame = ::CreateWindowExW(0, kFrameClass, L"Probe", WS_OVERLAPPED, 0, 0, 100, 100, nullptr,
                                 hMenu, hInstance, nullptr);
    return g_hFrame && g_seen.nWindowMessages > 0 && !g_seen.bNonClientMessage;
}

bool RunsAThread() {
    const HANDLE hEvent = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    const HANDLE hThread = ::CreateThread(nullptr, 0, SignalEvent, hEvent, 0, nullptr);
    const bool bSignalled = hThread && ::WaitForSingleObject(hEvent, 10000) == WAIT_OBJECT_0;
    if (hThread)
        ::CloseHandle(hThread);
    ::CloseHandle(hEvent);
    return bSignalled;
}

bool KeepsThreadData() {
    const DWORD dwSlot = TlsCall(kTlsAlloc, 0);
    return dwSlot != 0xFFFFFFFF && ::TlsSetValue(dwSlot, &g_seen) &&
           ::TlsGetValue(dwSlot) == &g_seen;
}

// The handheld's registry takes no access or options, and deletes a key with its subkeys.
bool DeletesATree() {
    HKEY hKey = nullptr;
    DWORD dwDisposition = 0;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\HandheldProbe\\Child", 0, nullptr, 0, 0,
                          nullptr, &hKey, &dwDisposition) != ERROR_SUCCESS)
        return false;
    const DWORD dwValue = 7;
    ::RegSetValueExW(hKey, L"Value", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwValue),
                     sizeof dwValue);
    ::RegCloseKey(hKey);
    if (::RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\HandheldProbe") != ERROR_SUCCESS)
        return false;
    return ::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\HandheldProbe", 0, 0, &hKey) !=
           ERROR_SUCCESS;
}

bool FormatsAKeyPath() {
    WCHAR szPath[32];
    ::wsprintfW(szPath, L"%s\\%05d", L"Key", 7);
    return Same(szPath, L"Key\\00007");
}

bool RunsItsSheet(HINSTANCE hInstance, Fault fault) {
    SheetPage pages[2] = {};
    for (int n = 0; n < 2; ++n)
        pages[n] = {sizeof(SheetPage), 0,       hInstance, MAKEINTRESOURCEW(kPageTemplate),
                    nullptr,           nullptr, PageProc,  n,
                    nullptr,           nullptr};
    if (fault == Fault::PageDocumented) {
        pages[0].dwFlags = PSP_USEHICON | PSP_RTLREADING;
        pages[1].dwFlags = PSP_USEICONID;
        pages[1].pszIcon = MAKEINTRESOURCEW(kPageTemplate);
    }
    SheetHeader header = {sizeof header,
                          PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW | PSH_USECALLBACK,
                          g_hFrame,
                          hInstance,
                          nullptr,
                          L"Untitled",
                          2,
                          0,
                          pages,
                          SheetCallback};
    if (fault == Fault::Sheet52)
        header.dwSize = kDesktopSheetHeaderBytes;
    ::PropertySheetW(reinterpret_cast<LPCPROPSHEETHEADERW>(&header));
    return g_seen.bSheetInitialized && g_seen.bVersionAsked && g_seen.bSheetFound &&
           g_seen.nPagesInitialized == 1 && !g_seen.bNonClientMessage;
}

UINT MessageBoxType(Fault fault) {
    switch (fault) {
    case Fault::MessageBoxButtons:
        return kUndefinedButtons;
    case Fault::MessageBoxIcon:
        return kUndefinedIcon;
    case Fault::MessageBoxDocumented:
        return MB_RTLREADING;
    default:
        return MB_OK | MB_ICONASTERISK;
    }
}

bool ShowsAMessageBox(Fault fault) {
    ::SetTimer(nullptr, kCloseTimer, 100,
               fault == Fault::MessageBoxText ? ReadMessageBox : CloseMessageBox);
    return ::MessageBoxW(g_hFrame, L"Probe", kBoxCaption, MessageBoxType(fault)) == IDOK;
}

bool AsksItsFrame(Fault fault) {
    DWORD_PTR dwResult = 1;
    const UINT uFlags = fault == Fault::SendTimeoutFlags ? SMTO_ABORTIFHUNG : SMTO_NORMAL;
    return SendMessageTimeout(g_hFrame, WM_NULL, 0, 0, uFlags, 1000, &dwResult) && dwResult == 0;
}

} // namespace

extern "C" int WINAPI ProbeEntry(HINSTANCE hInstance, HINSTANCE, LPWSTR pszCommandLine, int) {
    const Fault fault = FaultNamed(pszCommandLine);
    // GetModuleHandleW is bound by ordinal: a wrong binding fails here. The handheld places the
    // program at 0x10000.
    if (::GetModuleHandleW(nullptr) != hInstance ||
        reinterpret_cast<DWORD_PTR>(hInstance) != 0x10000)
        return 10;
    if (!StartControls(fault))
        return 11;
    if (!LoadsItsString(hInstance, fault))
        return 12;
    if (!MakesItsFrame(hInstance, fault))
        return 13;
    if (!RunsAThread())
        return 14;
    if (!KeepsThreadData())
        return 15;
    if (!DeletesATree())
        return 16;
    if (!FormatsAKeyPath())
        return 17;
    ::EnumWindows(FindFrame, reinterpret_cast<LPARAM>(g_hFrame));
    if (!g_seen.bFrameFound)
        return 18;
    if (!RunsItsSheet(hInstance, fault))
        return 19;
    if (!AsksItsFrame(fault))
        return 20;
    if (!ShowsAMessageBox(fault))
        return 21;
    ::DestroyWindow(g_hFrame);
    return 0;
}
