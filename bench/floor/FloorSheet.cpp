// A property sheet with the application's two page templates and nothing behind them: the floor
// that start-up and memory of the application are compared with.

#include "resource.h"

#include <windows.h>

#include <commctrl.h>
#include <prsht.h>

namespace {

INT_PTR CALLBACK PageProc(HWND, UINT uMsg, WPARAM, LPARAM) { return uMsg == WM_INITDIALOG; }

PROPSHEETPAGEW Page(HINSTANCE hInstance, int nTemplateID, int nTitleID) {
    PROPSHEETPAGEW page = {};
    page.dwSize = sizeof page;
    page.dwFlags = PSP_USETITLE;
    page.hInstance = hInstance;
    page.pszTemplate = MAKEINTRESOURCEW(nTemplateID);
    page.pszTitle = MAKEINTRESOURCEW(nTitleID);
    page.pfnDlgProc = PageProc;
    return page;
}

} // namespace

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR, int) {
    const INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);

    PROPSHEETPAGEW pages[2] = {Page(hInstance, IDD_EQUALIZER, IDS_EQUALIZER),
                               Page(hInstance, IDD_AGC, IDS_MIC)};
    PROPSHEETHEADERW header = {};
    header.dwSize = sizeof header;
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW | PSH_USEHICON;
    header.hInstance = hInstance;
    header.hIcon = ::LoadIconW(hInstance, MAKEINTRESOURCEW(IDI_APP));
    header.pszCaption = MAKEINTRESOURCEW(IDS_APP_TITLE);
    header.nPages = 2;
    header.ppsp = pages;
    ::PropertySheetW(&header);
    return 0;
}
