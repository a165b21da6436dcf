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
constexpr DWORD kControlClasses = ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES | ICC_BAR_CLASSES |
                                  ICC_TAB_CLASSES | ICC_UPDOWN_CLASS | ICC_PROGRESS_CLASS |
                                  ICC_ANIMATE_CLASS | ICC_DATE_CLASSES | ICC_COOL_CLASSES |
                                  kToolTipClasses | kCapEditClass | kFarEastClasses;
constexpr DWORD kSheetFlags = PSH_PROPTITLE | PSH_USEHICON | PSH_USEICONID | PSH_PROPSHEETPAGE |
                              PSH_USEPSTARTPAGE | PSH_NOAPPLYNOW | PSH_USECALLBACK | PSH_HASHELP |
                              PSH_MODELESS;
constexpr DWORD kPageFlags = PSP_DLGINDIRECT | PSP_USETITLE | PSP_HASHELP | PSP_USEREFPARENT |
                             PSP_USECALLBACK | PSP_PREMATURE;

using personality::Callback;

// The sheet that PropertySheetW is running on this thread: the handheld passes its callback the
// program's header with PSCB_INITIALIZED, where a desktop passes 0. (It also documents
// PSCB_GETVERSION and PSCB_GETTITLE, whose values its documentation does not give: not sent.)
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
    if (pHeader->dwSize != sizeof(SheetHeader)) {
        PersonalityViolation("PropertySheetW",
                             "header dwSize %lu: the handheld's header is 40 bytes, and it refuses "
                             "the sheet",
                             pHeader->dwSize);
        return -1;
    }
    SheetHeader desktop = *pHeader;
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
    const INT_PTR result = ::PropertySheetW(reinterpret_cast<LPCPROPSHEETHEADERW>(&desktop));
    t_sheet = outer;
    return result;
}

} // extern "C"
