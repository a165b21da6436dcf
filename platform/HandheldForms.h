#pragma once

#include <windows.h>

#include <commctrl.h>
#include <prsht.h>

#include <cstddef>
#include <type_traits>

// Where the handheld's structures, constants and calls take another form than a desktop's. The
// handheld's forms are spelled out whatever the build, so that every build compiles both and a
// program that plays the handheld shares the same facts; the forms this build uses follow them.
namespace platform {

#ifdef MUNTARA_HANDHELD
inline constexpr bool kHandheld = true;
#else
inline constexpr bool kHandheld = false;
#endif

struct HandheldSheetPage;

// The handheld's property sheet header: a desktop's first members, the same flags, and none of
// the wizard's watermark and header members after them.
struct HandheldSheetHeader {
    DWORD dwSize;
    DWORD dwFlags;
    HWND hwndParent;
    HINSTANCE hInstance;
    union {
        HICON hIcon;
        LPCWSTR pszIcon;
    };
    LPCWSTR pszCaption;
    UINT nPages;
    union {
        UINT nStartPage;
        LPCWSTR pStartPage;
    };
    union {
        const HandheldSheetPage* ppsp; // nPages pages, laid sizeof(HandheldSheetPage) apart
        HPROPSHEETPAGE* phpage;
    };
    PFNPROPSHEETCALLBACK pfnCallback;
};

// The handheld's property sheet page: a desktop's first members, without the header titles and
// the activation context.
struct HandheldSheetPage {
    DWORD dwSize;
    DWORD dwFlags;
    HINSTANCE hInstance;
    union {
        LPCWSTR pszTemplate;
        LPCDLGTEMPLATEW pResource;
    };
    union {
        HICON hIcon;
        LPCWSTR pszIcon;
    };
    LPCWSTR pszTitle;
    DLGPROC pfnDlgProc;
    LPARAM lParam; // also what the page's WM_INITDIALOG finds at this offset of its copy
    UINT(CALLBACK* pfnCallback)(HWND hWnd, UINT message, HandheldSheetPage* pPage);
    UINT* pcRefParent;
};

// The handheld is a 32-bit machine: ten words each.
static_assert(sizeof(void*) != 4 || sizeof(HandheldSheetHeader) == 40, "the handheld's header");
static_assert(sizeof(void*) != 4 || sizeof(HandheldSheetPage) == 40, "the handheld's page");
// Each member where a desktop's is, so that the flags and what they select mean the same.
static_assert(offsetof(HandheldSheetHeader, hIcon) == offsetof(PROPSHEETHEADERW, hIcon) &&
                  offsetof(HandheldSheetHeader, nStartPage) ==
                      offsetof(PROPSHEETHEADERW, nStartPage) &&
                  offsetof(HandheldSheetHeader, pfnCallback) ==
                      offsetof(PROPSHEETHEADERW, pfnCallback),
              "the handheld's header is a desktop's first members");
static_assert(offsetof(HandheldSheetPage, pszTemplate) == offsetof(PROPSHEETPAGEW, pszTemplate) &&
                  offsetof(HandheldSheetPage, lParam) == offsetof(PROPSHEETPAGEW, lParam) &&
                  offsetof(HandheldSheetPage, pcRefParent) == offsetof(PROPSHEETPAGEW, pcRefParent),
              "the handheld's page is a desktop's first members");

// The handheld marks a system colour's index with this bit (its COLOR_* constants carry it), also
// in a class brush, which is the index + 1.
inline constexpr int kHandheldSysColorIndexFlag = 0x40000000;

// The window class of the handheld's dialog boxes.
inline constexpr wchar_t kHandheldDialogClass[] = L"Dialog";

// The common-control classes the program registers, as the handheld defines them: trackbars (with
// the other bars) and tabs. A desktop's flag for its standard controls (0x4000) it does not define.
inline constexpr DWORD kHandheldCommonControls = ICC_BAR_CLASSES | ICC_TAB_CLASSES;

// The forms this build uses.

using SheetHeader = std::conditional_t<kHandheld, HandheldSheetHeader, PROPSHEETHEADERW>;
using SheetPage = std::conditional_t<kHandheld, HandheldSheetPage, PROPSHEETPAGEW>;

inline INT_PTR RunPropertySheet(const SheetHeader& header) {
    return ::PropertySheetW(reinterpret_cast<LPCPROPSHEETHEADERW>(&header));
}

// A string of the string table where the resource holds it: nChars characters, not
// zero-terminated. Empty when there is no such string.
struct ResourceText {
    LPCWSTR pch = nullptr;
    int nChars = 0;
};

inline ResourceText LoadResourceText(HINSTANCE hInstance, UINT nID) {
    if constexpr (kHandheld) {
        // The handheld's one form: no buffer, the string's address as the result, and its
        // length in the word before it.
        const auto pch = reinterpret_cast<LPCWSTR>(
            static_cast<INT_PTR>(::LoadStringW(hInstance, nID, nullptr, 0)));
        return pch ? ResourceText{pch, pch[-1]} : ResourceText{};
    } else {
        // A desktop's: a buffer of no length receives the string's address, the result is its
        // length.
        LPCWSTR pch = nullptr;
        const int nChars = ::LoadStringW(hInstance, nID, reinterpret_cast<LPWSTR>(&pch), 0);
        return nChars > 0 && pch ? ResourceText{pch, nChars} : ResourceText{};
    }
}

inline constexpr DWORD kCommonControlClasses =
    kHandheld ? kHandheldCommonControls : ICC_BAR_CLASSES | ICC_TAB_CLASSES | ICC_STANDARD_CLASSES;

// A class brush of the system colour nIndex (COLOR_WINDOW, ...).
inline HBRUSH SysColorClassBrush(int nIndex) {
    const int nMarked = kHandheld ? nIndex | kHandheldSysColorIndexFlag : nIndex;
    return reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(nMarked + 1));
}

// The first message a window receives that carries its CREATESTRUCT, and the last one it
// receives: the handheld sends a window no messages of its non-client area.
inline constexpr UINT kWindowCreateMessage = kHandheld ? WM_CREATE : WM_NCCREATE;
inline constexpr UINT kWindowDestroyMessage = kHandheld ? WM_DESTROY : WM_NCDESTROY;

// Whether a top-level window may have a menu bar: the handheld takes a window's menu argument
// only as a child's id.
inline constexpr bool kTopLevelMenus = !kHandheld;

inline constexpr LPCWSTR kDialogClass = kHandheld ? kHandheldDialogClass : L"#32770";

// keybd_event's flag for a key press without the key click: the handheld's KEYEVENTF_SILENT. A
// desktop clicks no key, and its flag 4 is another (KEYEVENTF_UNICODE).
inline constexpr DWORD kSilentKeyEvent = kHandheld ? 4 : 0;

// The access a registry key is opened or created with: the handheld takes none (0).
constexpr REGSAM KeyAccess(REGSAM samDesired) { return kHandheld ? 0 : samDesired; }

} // namespace platform
