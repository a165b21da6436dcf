// COMMCTRL.dll: the common controls' start and the property sheet, as the handheld has them. The
// handheld's sheet header and pages are 40 bytes each, laid 40 bytes apart (a desktop's first
// versions of both, which Wine also takes); their procedures and callbacks are the program's, so
// each goes through a checked thunk.
#include "personality/Personality.h"
#include "platform/HandheldForms.h"

#include <commctrl.h>

#include <array>
#include <cstddef>

namespace {

// The handheld's sheet header and page, 40 bytes each (platform/HandheldForms.h).
using SheetHeader = platform::HandheldSheetHeader;
using SheetPage = platform::HandheldSheetPage;
static_assert(sizeof(SheetHeader) == 40 && sizeof(SheetPage) == 40);

// The flags of its common controls, its sheet and its pages.
// Its documentation names its control classes; the values of its own three (tooltips, the
// capitalising edit, the East Asian controls) are those of its headers.
constexpr DWORD kToolTipClasses = 0x1000;
constexpr DWORD kCapEditClass = 0x2000;
constexpr DWORD kFarEastClasses = 0x40000000;
// Its ICC_WIN95_CLASSES is 0xFF, the desktop's 0x40 among them.
constexpr DWORD kWin95Classes = 0xFF;
constexpr DWORD kControlClasses = kWin95Classes | ICC_DATE_CLASSES | ICC_COOL_CLASSES |
                                  ICC_INTERNET_CLASSES | kToolTipClasses | kCapEditClass |
                                  kFarEastClasses;
constexpr DWORD kSheetFlags = PSH_PROPTITLE | PSH_USEHICON | PSH_USEICONID | PSH_PROPSHEETPAGE |
                              PSH_USEPSTARTPAGE | PSH_NOAPPLYNOW | PSH_USECALLBACK | PSH_HASHELP |
                              PSH_MODELESS;
constexpr DWORD kPageFlags = PSP_DLGINDIRECT | PSP_USEHICON | PSP_USEICONID | PSP_USETITLE |
                             PSP_RTLREADING | PSP_HASHELP | PSP_USEREFPARENT | PSP_USECALLBACK |
                             PSP_PREMATURE;

// The handheld's own messages to a sheet's callback before the sheet is made, with their values
// from its headers: the version of the sheet the program wants (no window, lParam 0), and its
// title, into a buffer of 256 characters.
constexpr UINT kGetVersion = 3;
constexpr UINT kGetTitle = 4;
constexpr int kTitleChars = 256;

using personality::Callback;

// The sheet that PropertySheetW is running on this thread: the handheld passes its callback the
// program's header with PSCB_INITIALIZED, where a desktop passes 0.
struct RunningSheet {
    const SheetHeader* pProgramHeader;
    PFNPROPSHEETCALLBACK pfnProgram; // a thunk
};
thread_local RunningSheet t_sheet;

int CALLBACK SheetCallback(HWND hSheet, UINT message, LPARAM lParam) {
    if (message == PSCB_INITIALIZED)
        lParam = reinterpret_cast<LPARAM>(t_sheet.pProgramHeader);
    return t_sheet.pfnProgram(hSheet, message, lParam);
}

// The page as Wine is to call it, or false when the handheld would refuse it.
bool DesktopPage(const SheetPage& page, UINT nPage, SheetPage& desktop) {
    if (page.dwSize != sizeof(SheetPage)) {
        PersonalityViolation("PropertySheetW",
                             "page %u has dwSize %lu: the handheld's pages are 40 bytes, laid 40 "
                             "bytes apart, and it refuses the sheet",
                             nPage, page.dwSize);
        return false;
    }
    if (page.dwFlags & ~kPageFlags)
        PersonalityViolation("PropertySheetW", "page %u has flags 0x%lx: the handheld has no 0x%lx",
                             nPage, page.dwFlags, page.dwFlags & ~kPageFlags);
    desktop = page;
    desktop.pfnDlgProc = Callback(page.pfnDlgProc, kPageProcedure);
    desktop.pfnCallback = Callback(page.pfnCallback, kPageCallback);
    return true;
}

// Asks the program's callback what the handheld asks before it makes the sheet. The version
// changes nothing here: the personality has one sheet. A title written into the buffer is the
// sheet's caption.
void AskBeforeCreating(PFNPROPSHEETCALLBACK pfnProgram, WCHAR (&szTitle)[kTitleChars],
                       SheetHeader& desktop) {
    pfnProgram(nullptr, kGetVersion, 0);
    szTitle[0] = 0;
    pfnProgram(nullptr, kGetTitle, reinterpret_cast<LPARAM>(szTitle));
    szTitle[kTitleChars - 1] = 0;
    if (szTitle[0])
        desktop.pszCaption = szTitle;
}

} // namespace

extern "C" {

BOOL __cdecl HandheldInitCommonControlsEx(const INITCOMMONCONTROLSEX* pInit) {
    if (pInit->dwSize != sizeof(INITCOMMONCONTROLSEX))
        PersonalityViolation("InitCommonControlsEx", "dwSize %lu: the handheld's is 8",
                             pInit->dwSize);
    if (pInit->dwICC & ~kControlClasses)
        PersonalityViolation("InitCommonControlsEx", "dwICC 0x%lx: the handheld defines no 0x%lx",
                             pInit->dwICC, pInit->dwICC & ~kControlClasses);
    return ::InitCommonControlsEx(pInit);
}

INT_PTR __cdecl HandheldPropertySheetW(const SheetHeader* pHeader) {
    // What the handheld does with a header of another size is not documented: reported, and the
    // sheet made from its first 40 bytes, which every size of it lays out alike.
    if (pHeader->dwSize != sizeof(SheetHeader))
        PersonalityViolation("PropertySheetW",
                             "header dwSize %lu: the handheld's header is 40 bytes",
                             pHeader->dwSize);
    SheetHeader desktop = *pHeader;
    desktop.dwSize = sizeof(SheetHeader);
    if (desktop.dwFlags & ~kSheetFlags)
        PersonalityViolation("PropertySheetW", "flags 0x%lx: the handheld has no 0x%lx",
                             desktop.dwFlags, desktop.dwFlags & ~kSheetFlags);
    std::array<SheetPage, MAXPROPPAGES> pages;
    if (desktop.dwFlags & PSH_PROPSHEETPAGE) {
        if (desktop.nPages > pages.size())
            return -1;
        for (UINT nPage = 0; nPage < desktop.nPages; ++nPage)
            if (!DesktopPage(pHeader->ppsp[nPage], nPage, pages[nPage]))
                return -1;
        desktop.ppsp = pages.data();
    }
    if (desktop.pfnCallback)
        desktop.pfnCallback = SheetCallback;

    const RunningSheet outer = t_sheet; // a sheet run from inside another's
    t_sheet = {pHeader, Callback(pHeader->pfnCallback, kSheetCallback)};
    WCHAR szTitle[kTitleChars];
    if (t_sheet.pfnProgram && (desktop.dwFlags & PSH_USECALLBACK))
        AskBeforeCreating(t_sheet.pfnProgram, szTitle, desktop);
    const INT_PTR result = ::PropertySheetW(reinterpret_cast<LPCPROPSHEETHEADERW>(&desktop));
    t_sheet = outer;
    return result;
}

} // extern "C"
