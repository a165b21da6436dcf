// COREDLL.dll's window manager calls where the handheld differs from a desktop: every function of
// the program that the window manager calls goes through a checked thunk; its dialogs are of the
// class "Dialog"; its system colours carry a flag; strings load in its documented forms; and the
// flags, styles, indices and conversions it lacks are reported, as is a program that reaches into
// a message box's controls, which the handheld documents none of.
#include "personality/Coredll.h"
#include "platform/HandheldForms.h"

#include <cstdarg>
#include <cwchar>
#include <cwctype>

namespace {

// A top-level window's class, as the handheld names dialogs and as a desktop does.
constexpr WCHAR kDesktopDialogClass[] = L"#32770";
constexpr ATOM kDesktopDialogAtom = 32770;

// What the handheld's window manager documents of class styles, message-box types, window and
// dialog styles. Message boxes: its documentation lists the default buttons 1 to 3 and is silent
// on MB_TOPMOST, which is let through; of the buttons it has MB_OK to MB_RETRYCANCEL (0 to 5), of
// the icons the hand, the question mark, the exclamation point and the asterisk.
constexpr UINT kClassStyles =
    CS_DBLCLKS | CS_HREDRAW | CS_NOCLOSE | CS_PARENTDC | CS_VREDRAW | CS_GLOBALCLASS | CS_IME;
constexpr UINT kMessageBoxTypes = MB_TYPEMASK | MB_ICONMASK | MB_DEFBUTTON2 | MB_DEFBUTTON3 |
                                  MB_APPLMODAL | MB_SETFOREGROUND | MB_TOPMOST | MB_RTLREADING;
constexpr UINT kButtonsMask = MB_TYPEMASK;
constexpr UINT kIconMask = MB_ICONMASK;
constexpr UINT kLastMessageBoxButtons = MB_RETRYCANCEL;
constexpr UINT kMessageBoxIcons[] = {0, MB_ICONHAND, MB_ICONQUESTION, MB_ICONEXCLAMATION,
                                     MB_ICONASTERISK};
// How the handheld's SendMessageTimeout sends: it has SMTO_NORMAL alone.
constexpr UINT kSendTimeoutFlags = SMTO_NORMAL;
constexpr DWORD kTopLevelStylesLacked =
    WS_MINIMIZE | WS_MAXIMIZE | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
constexpr DWORD kExStylesLacked = WS_EX_NOPARENTNOTIFY | WS_EX_TRANSPARENT | WS_EX_MDICHILD |
                                  WS_EX_RIGHT | WS_EX_RTLREADING | WS_EX_LEFTSCROLLBAR |
                                  WS_EX_CONTROLPARENT | WS_EX_APPWINDOW;
constexpr DWORD kDialogStylesLacked = DS_ABSALIGN | DS_SYSMODAL | DS_FIXEDSYS | DS_NOFAILCREATE |
                                      DS_NOIDLEMSG | DS_CENTERMOUSE | DS_CONTEXTHELP;
constexpr UINT kLastSysColor = COLOR_INFOBK; // the handheld's last system colour index

bool IsDialog(HWND hWnd) { return ::GetClassLongW(hWnd, GCW_ATOM) == kDesktopDialogAtom; }

// Marks the message box's window as MessageBoxW makes it: the first top-level dialog the call
// creates on its thread.
constexpr WCHAR kMessageBoxMark[] = L"HandheldMessageBox";
thread_local HHOOK t_hMessageBoxHook = nullptr;

bool IsTopLevelDialog(const CREATESTRUCTW& create) {
    const bool bDialogClass =
        IS_INTRESOURCE(create.lpszClass)
            ? reinterpret_cast<ULONG_PTR>(create.lpszClass) == kDesktopDialogAtom
            : std::wcscmp(create.lpszClass, kDesktopDialogClass) == 0;
    return bDialogClass && !(create.style & WS_CHILD);
}

LRESULT CALLBACK MarkMessageBox(int nCode, WPARAM wParam, LPARAM lParam) {
    if (nCode == HCBT_CREATEWND &&
        IsTopLevelDialog(*reinterpret_cast<const CBT_CREATEWNDW*>(lParam)->lpcs)) {
        ::SetPropW(reinterpret_cast<HWND>(wParam), kMessageBoxMark, reinterpret_cast<HANDLE>(1));
        ::UnhookWindowsHookEx(t_hMessageBoxHook);
        t_hMessageBoxHook = nullptr;
        return 0;
    }
    return ::CallNextHookEx(nullptr, nCode, wParam, lParam);
}

// The handheld's message box is a part an image may replace, and its documentation names none of
// its controls: a program finds nothing there it can rely on.
void ReportMessageBoxControl(const char* pszCall, HWND hDlg, int nID) {
    if (hDlg && ::GetPropW(hDlg, kMessageBoxMark))
        PersonalityViolation(pszCall,
                             "control %d of a message box: the handheld documents none of a "
                             "message box's controls",
                             nID);
}

// The indices the handheld's GetWindowLong and SetWindowLong take: five negative ones, and
// offsets of 4-byte words (a dialog's DWL_* among them).
bool KnownIndex(int nIndex) {
    switch (nIndex) {
    case GWL_WNDPROC:
    case GWL_ID:
    case GWL_STYLE:
    case GWL_EXSTYLE:
    case GWL_USERDATA:
        return true;
    default:
        return nIndex >= 0 && nIndex % 4 == 0;
    }
}

// The program's functions travel through the index as the program's own; Wine holds thunks.
bool IsProcedure(HWND hWnd, int nIndex) {
    return nIndex == GWL_WNDPROC || (nIndex == DWL_DLGPROC && IsDialog(hWnd));
}

// A class brush of a system colour: the handheld's index has its flag, a desktop's has none.
HBRUSH DesktopBrush(HBRUSH hBrush) {
    constexpr DWORD_PTR kFlag = platform::kHandheldSysColorIndexFlag;
    const auto value = reinterpret_cast<DWORD_PTR>(hBrush);
    const DWORD_PTR index = value - 1;
    if (value && (index & kFlag) && (index & ~kFlag) <= kLastSysColor)
        return reinterpret_cast<HBRUSH>((index & ~kFlag) + 1);
    if (value && index <= kLastSysColor)
        PersonalityViolation("RegisterClassW",
                             "hbrBackground %lu: a system colour without the handheld's flag "
                             "0x40000000, which the handheld takes for a brush handle",
                             static_cast<unsigned long>(value));
    return hBrush;
}

// The conversions of the handheld's wsprintf as far as its documentation shows them: the flags
// '-', '#' and '0', width and precision, l or h, and a type among c, C, d, i, u, x, X, s, S and %.
// False at the first other one.
bool KnownConversions(LPCWSTR pszFormat, WCHAR& chBad) {
    for (LPCWSTR p = pszFormat; *p; ++p) {
        if (*p != L'%')
            continue;
        ++p;
        while (*p == L'-' || *p == L'#' || *p == L'0')
            ++p;
        while (std::iswdigit(*p) || *p == L'.')
            ++p;
        if (*p == L'l' || *p == L'h')
            ++p;
        if (!*p || !std::wcschr(L"cCdiuxXsS%", *p)) {
            chBad = *p;
            return false;
        }
    }
    return true;
}

bool KnownMessageBoxIcon(UINT uIcon) {
    for (const UINT uKnown : kMessageBoxIcons)
        if (uIcon == uKnown)
            return true;
    return false;
}

} // namespace

extern "C" {

ATOM __cdecl HandheldRegisterClassW(const WNDCLASSW* pClass) {
    WNDCLASSW desktop = *pClass;
    if (desktop.style & ~kClassStyles)
        PersonalityViolation("RegisterClassW", "style 0x%x: the handheld has no 0x%x",
                             desktop.style, desktop.style & ~kClassStyles);
    if (desktop.lpszMenuName)
        PersonalityViolation("RegisterClassW",
                             "lpszMenuName: the handheld has no default menus and wants NULL");
    desktop.hbrBackground = DesktopBrush(desktop.hbrBackground);
    desktop.lpfnWndProc = Callback(desktop.lpfnWndProc, kWindowProcedure);
    return ::RegisterClassW(&desktop);
}

HWND __cdecl HandheldCreateWindowExW(DWORD dwExStyle, LPCWSTR pszClass, LPCWSTR pszName,
                                     DWORD dwStyle, int x, int y, int nWidth, int nHeight,
                                     HWND hParent, HMENU hMenu, HINSTANCE hInstance,
                                     LPVOID pParam) {
    // The handheld's documentation says hMenu must be NULL here, not what it does otherwise: the
    // window is made as it would be without a menu bar, which the handheld's never have.
    if (!(dwStyle & WS_CHILD) && hMenu) {
        PersonalityViolation("CreateWindowExW",
                             "hMenu %p for a top-level window: the handheld's windows have no "
                             "menu bar and want NULL",
                             static_cast<void*>(hMenu));
        hMenu = nullptr;
    }
    if (!(dwStyle & WS_CHILD) && (dwStyle & kTopLevelStylesLacked))
        PersonalityViolation("CreateWindowExW", "style 0x%lx: the handheld has no 0x%lx", dwStyle,
                             dwStyle & kTopLevelStylesLacked);
    if (dwExStyle & kExStylesLacked)
        PersonalityViolation("CreateWindowExW", "extended style 0x%lx: the handheld has no 0x%lx",
                             dwExStyle, dwExStyle & kExStylesLacked);
    return ::CreateWindowExW(dwExStyle, pszClass, pszName, dwStyle, x, y, nWidth, nHeight, hParent,
                             hMenu, hInstance, pParam);
}

INT_PTR __cdecl HandheldDialogBoxIndirectParamW(HINSTANCE hInstance, LPCDLGTEMPLATEW pTemplate,
                                                HWND hParent, DLGPROC pfnDialog, LPARAM lInit) {
    if (pTemplate && (pTemplate->style & kDialogStylesLacked))
        PersonalityViolation("DialogBoxIndirectParamW",
                             "template style 0x%lx: the handheld has no "
                             "0x%lx",
                             pTemplate->style, pTemplate->style & kDialogStylesLacked);
    return ::DialogBoxIndirectParamW(hInstance, pTemplate, hParent,
                                     Callback(pfnDialog, kDialogProcedure), lInit);
}

BOOL __cdecl HandheldEnumWindows(WNDENUMPROC pfnEnum, LPARAM lParam) {
    return ::EnumWindows(Callback(pfnEnum, kWindowEnumerator), lParam);
}

HWND __cdecl HandheldFindWindowW(LPCWSTR pszClass, LPCWSTR pszName) {
    const bool bNamed = pszClass && !IS_INTRESOURCE(pszClass);
    if (bNamed && std::wcscmp(pszClass, kDesktopDialogClass) == 0) {
        PersonalityViolation("FindWindowW",
                             "class \"#32770\": the handheld's dialogs are of the class "
                             "\"Dialog\", so it finds none");
        return nullptr;
    }
    if (bNamed && std::wcscmp(pszClass, platform::kHandheldDialogClass) == 0)
        pszClass = kDesktopDialogClass;
    return ::FindWindowW(pszClass, pszName);
}

LONG __cdecl HandheldGetWindowLongW(HWND hWnd, int nIndex) {
    if (!KnownIndex(nIndex))
        PersonalityViolation("GetWindowLongW", "index %d: the handheld has no such index", nIndex);
    const LONG value = ::GetWindowLongW(hWnd, nIndex);
    if (!IsProcedure(hWnd, nIndex))
        return value;
    return reinterpret_cast<LONG>(PersonalityOriginal(reinterpret_cast<void*>(value)));
}

LONG __cdecl HandheldSetWindowLongW(HWND hWnd, int nIndex, LONG value) {
    if (!KnownIndex(nIndex))
        PersonalityViolation("SetWindowLongW", "index %d: the handheld has no such index", nIndex);
    if (!IsProcedure(hWnd, nIndex))
        return ::SetWindowLongW(hWnd, nIndex, value);
    const PersonalityKind kind = nIndex == GWL_WNDPROC ? kSubclassProcedure : kDialogProcedure;
    void* const pThunk = PersonalityCallback(reinterpret_cast<void*>(value), kind);
    const LONG previous = ::SetWindowLongW(hWnd, nIndex, reinterpret_cast<LONG>(pThunk));
    return reinterpret_cast<LONG>(PersonalityOriginal(reinterpret_cast<void*>(previous)));
}

// The handheld documents two forms: a buffer with its size, and no buffer, which returns the
// string's address in the resource (not zero-terminated; its length is the word before it).
int __cdecl HandheldLoadStringW(HINSTANCE hInstance, UINT uID, LPWSTR pszBuffer, int cchBuffer) {
    if (pszBuffer && cchBuffer > 0)
        return ::LoadStringW(hInstance, uID, pszBuffer, cchBuffer);
    if (pszBuffer) {
        // What the handheld does then is not documented: reported, and done as a desktop does.
        PersonalityViolation("LoadStringW",
                             "string %u with a buffer of %d characters: the handheld documents no "
                             "such form",
                             uID, cchBuffer);
        return ::LoadStringW(hInstance, uID, pszBuffer, cchBuffer);
    }
    LPCWSTR pszResource = nullptr;
    if (!::LoadStringW(hInstance, uID, reinterpret_cast<LPWSTR>(&pszResource), 0))
        return 0;
    return reinterpret_cast<int>(pszResource);
}

int __cdecl HandheldMessageBoxW(HWND hWnd, LPCWSTR pszText, LPCWSTR pszCaption, UINT uType) {
    if (uType & ~kMessageBoxTypes)
        PersonalityViolation("MessageBoxW", "type 0x%x: the handheld has no 0x%x", uType,
                             uType & ~kMessageBoxTypes);
    UINT uDesktop = uType & kMessageBoxTypes;
    if ((uType & kButtonsMask) > kLastMessageBoxButtons) {
        // Which buttons the handheld shows then is not documented: reported, and shown with OK.
        PersonalityViolation("MessageBoxW", "buttons %u: the handheld has 0 to %u",
                             uType & kButtonsMask, kLastMessageBoxButtons);
        uDesktop &= ~kButtonsMask;
    }
    if (!KnownMessageBoxIcon(uType & kIconMask))
        PersonalityViolation("MessageBoxW", "icon 0x%x: the handheld has no such icon",
                             uType & kIconMask);
    t_hMessageBoxHook =
        ::SetWindowsHookExW(WH_CBT, MarkMessageBox, nullptr, ::GetCurrentThreadId());
    const int nResult = ::MessageBoxW(hWnd, pszText, pszCaption, uDesktop);
    if (t_hMessageBoxHook)
        ::UnhookWindowsHookEx(t_hMessageBoxHook);
    t_hMessageBoxHook = nullptr;
    return nResult;
}

HWND __cdecl HandheldGetDlgItem(HWND hDlg, int nID) {
    ReportMessageBoxControl("GetDlgItem", hDlg, nID);
    return ::GetDlgItem(hDlg, nID);
}

UINT __cdecl HandheldGetDlgItemTextW(HWND hDlg, int nID, LPWSTR pszText, int cchMax) {
    ReportMessageBoxControl("GetDlgItemTextW", hDlg, nID);
    return ::GetDlgItemTextW(hDlg, nID, pszText, cchMax);
}

BOOL __cdecl HandheldSetDlgItemTextW(HWND hDlg, int nID, LPCWSTR pszText) {
    ReportMessageBoxControl("SetDlgItemTextW", hDlg, nID);
    return ::SetDlgItemTextW(hDlg, nID, pszText);
}

LRESULT __cdecl HandheldSendDlgItemMessageW(HWND hDlg, int nID, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
    ReportMessageBoxControl("SendDlgItemMessageW", hDlg, nID);
    return ::SendDlgItemMessageW(hDlg, nID, message, wParam, lParam);
}

// The handheld's KEYEVENTF_SILENT, a key without its click, is a desktop's KEYEVENTF_UNICODE: a
// desktop clicks no key, so it is taken off.
void __cdecl Handheldkeybd_event(BYTE bVk, BYTE bScan, DWORD dwFlags, ULONG_PTR dwExtraInfo) {
    constexpr DWORD kSilent = 4;
    constexpr DWORD kDesktopFlags = KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP;
    if (dwFlags & ~(kDesktopFlags | kSilent))
        PersonalityViolation("keybd_event", "dwFlags 0x%lx: the handheld has no 0x%lx", dwFlags,
                             dwFlags & ~(kDesktopFlags | kSilent));
    ::keybd_event(bVk, bScan, dwFlags & kDesktopFlags, dwExtraInfo);
}

// The handheld's name has no W: it has its wide calls only.
LRESULT __cdecl HandheldSendMessageTimeout(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam,
                                           UINT uFlags, UINT uTimeoutMs, PDWORD_PTR pdwResult) {
    if (uFlags != kSendTimeoutFlags)
        PersonalityViolation("SendMessageTimeout",
                             "flags 0x%x: the handheld takes SMTO_NORMAL only", uFlags);
    return ::SendMessageTimeoutW(hWnd, message, wParam, lParam, uFlags, uTimeoutMs, pdwResult);
}

UINT_PTR __cdecl HandheldSetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC pfnTimer) {
    return ::SetTimer(hWnd, nIDEvent, uElapse, Callback(pfnTimer, kTimerProcedure));
}

int __cdecl HandheldwsprintfW(LPWSTR pszOut, LPCWSTR pszFormat, ...) {
    WCHAR chBad = 0;
    if (!KnownConversions(pszFormat, chBad))
        PersonalityViolation("wsprintfW",
                             "conversion '%lc' in \"%ls\": the handheld has no such "
                             "conversion",
                             static_cast<wint_t>(chBad), pszFormat);
    va_list args;
    va_start(args, pszFormat);
    const int nResult = ::wvsprintfW(pszOut, pszFormat, args);
    va_end(args);
    return nResult;
}

} // extern "C"
