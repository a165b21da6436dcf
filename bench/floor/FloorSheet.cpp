// A property sheet with the application's two page templates and nothing behind them but what any
// such program must do: at start, read the stored settings value by value and start a worker that
// waits for work; while idle, once a second, the headphone query through the same device route.
// The floor that start-up, memory and idle cost of the application are compared with.

#include "platform/DriverProtocol.h"
#include "platform/DeviceRoute.h"
#include "platform/Handle.h"
#include "resource.h"
#include "settings/ModeTable.h"
#include "settings/SettingsKey.h"

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

// An open registry key, closed when it ends.
struct OpenKey {
    HKEY hKey = nullptr;
    ~OpenKey() {
        if (hKey)
            ::RegCloseKey(hKey);
    }
};

// Every stored setting read once, as stored: the settings key's values, then each mode's subkey
// (its name and five levels), as many as "Count" says.
void LoadStoredSettings() {
    OpenKey settings;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKeyPath, 0, KEY_READ, &settings.hKey) !=
        ERROR_SUCCESS)
        return;
    const LPCWSTR names[] = {kAGCLevelValue, kEQEnableValue, kAGCEnableValue, kCurModeValue,
                             kBandValues[0], kBandValues[1], kBandValues[2],  kBandValues[3],
                             kBandValues[4], kModeCountValue};
    DWORD dwValue = 0;
    for (const LPCWSTR pszName : names) {
        DWORD cbValue = sizeof dwValue;
        ::RegQueryValueExW(settings.hKey, pszName, nullptr, nullptr,
                           reinterpret_cast<BYTE*>(&dwValue), &cbValue);
    }
    const DWORD dwModes = dwValue; // "Count", read last
    for (DWORD dwMode = 0; dwMode < dwModes && dwMode < kModeCapacity; ++dwMode) {
        WCHAR szMode[8];
        ::wsprintfW(szMode, L"%05u", dwMode);
        OpenKey mode;
        if (::RegOpenKeyExW(settings.hKey, szMode, 0, KEY_READ, &mode.hKey) != ERROR_SUCCESS)
            break;
        WCHAR szName[261];
        DWORD cbName = sizeof szName;
        ::RegQueryValueExW(mode.hKey, kModeNameValue, nullptr, nullptr,
                           reinterpret_cast<BYTE*>(szName), &cbName);
        for (const LPCWSTR pszBand : kBandValues) {
            DWORD cbValue = sizeof dwValue;
            ::RegQueryValueExW(mode.hKey, pszBand, nullptr, nullptr,
                               reinterpret_cast<BYTE*>(&dwValue), &cbValue);
        }
    }
}

// The worker: waits until it is told to end, as a worker with nothing to apply does.
DWORD WINAPI WaitForWork(LPVOID pEvent) {
    ::WaitForSingleObject(static_cast<HANDLE>(pEvent), INFINITE);
    return 0;
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
    LoadStoredSettings();

    g_hDevice = platform::CreateDevice(kAudioDeviceName, GENERIC_READ | GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                       0, nullptr);
    const platform::UniqueHandle hEnd(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    const platform::UniqueHandle hWorker(
        ::CreateThread(nullptr, 0, WaitForWork, hEnd.Get(), 0, nullptr));
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
    ::SetEvent(hEnd.Get());
    ::WaitForSingleObject(hWorker.Get(), INFINITE);
    if (g_hDevice != INVALID_HANDLE_VALUE)
        platform::CloseDevice(g_hDevice);
    return 0;
}
