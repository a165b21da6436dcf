// A property sheet with the application's two page templates and nothing behind them but the one
// thing the application must do while idle: once a second, the headphone query through the same
// device route. The floor that start-up, memory and idle cost of the application are compared
// with.

#include "platform/DriverProtocol.h"
#include "platform/DeviceRoute.h"
#include "resource.h"

#include <windows.h>

#include <commctrl.h>
#include <prsht.h>

namespace {

constexpr UINT kQueryPeriodMs = 1000;

HANDLE g_hDevice = INVALID_HANDLE_VALUE;

// The application's query as it sends it: the record in, the answer word out.
void CALLBACK QueryHeadphone(HWND, UINT, UINT_PTR, DWORD) {
    if (g_hDevice == INVALID_HANDLE_VALUE)
        return;
    MMDRV_MESSAGE_PARAMS params = {};
    params.uMsg = AUDMSG_GET_HEADPHONE;
    DWORD dwAnswer = 0;
    DWORD cbReturned = 0;
    platform::ControlDevice(g_hDevice, IOCTL_WAV_MESSAGE, &params, sizeof params, &dwAnswer,
                            sizeof dwAnswer, &cbReturned, nullptr);
}

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

    g_hDevice = platform::CreateDevice(kAudioDeviceName, GENERIC_READ | GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                       0, nullptr);
    // A thread timer: the sheet's own message loop calls it.
    ::SetTimer(nullptr, 0, kQueryPeriodMs, QueryHeadphone);

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
    if (g_hDevice != INVALID_HANDLE_VALUE)
        platform::CloseDevice(g_hDevice);
    return 0;
}
