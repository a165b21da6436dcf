#include "platform/DeviceRoute.h"

#include <atomic>

namespace platform {

DeviceRoute& PlatformDeviceRoute(); // KernelRoute.cpp on the handheld, PipeRoute.cpp on a desktop

namespace {

std::atomic<DeviceRoute*> g_pRoute{nullptr};

DeviceRoute& CurrentRoute() {
    DeviceRoute* const pRoute = g_pRoute.load();
    return pRoute ? *pRoute : PlatformDeviceRoute();
}

} // namespace

HANDLE CreateDevice(LPCWSTR pszName, DWORD dwAccess, DWORD dwShareMode,
                    LPSECURITY_ATTRIBUTES pSecurity, DWORD dwDisposition, DWORD dwFlags,
                    HANDLE hTemplate) {
    return CurrentRoute().Open(pszName, dwAccess, dwShareMode, pSecurity, dwDisposition, dwFlags,
                               hTemplate);
}

BOOL ControlDevice(HANDLE hDevice, DWORD dwCode, LPVOID pIn, DWORD cbIn, LPVOID pOut, DWORD cbOut,
                   LPDWORD pcbReturned, LPOVERLAPPED pOverlapped) {
    return CurrentRoute().Control(hDevice, dwCode, pIn, cbIn, pOut, cbOut, pcbReturned,
                                  pOverlapped);
}

BOOL CloseDevice(HANDLE hDevice) { return CurrentRoute().Close(hDevice); }

DeviceRoute* SetDeviceRoute(DeviceRoute* pRoute) { return g_pRoute.exchange(pRoute); }

} // namespace platform
