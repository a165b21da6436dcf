#pragma once

#include <windows.h>

// The road from a driver client to a stream device such as "WAV1:". On the handheld it is the
// kernel's own device calls; a desktop has no such device, so its route reaches a stand-in
// driver instead. Tests put a route of their own in its place.
namespace platform {

class DeviceRoute {
public:
    virtual ~DeviceRoute() = default;

    virtual HANDLE Open(LPCWSTR pszName, DWORD dwAccess, DWORD dwShareMode,
                        LPSECURITY_ATTRIBUTES pSecurity, DWORD dwDisposition, DWORD dwFlags,
                        HANDLE hTemplate) = 0;
    virtual BOOL Control(HANDLE hDevice, DWORD dwCode, LPVOID pIn, DWORD cbIn, LPVOID pOut,
                         DWORD cbOut, LPDWORD pcbReturned, LPOVERLAPPED pOverlapped) = 0;
    virtual BOOL Close(HANDLE hDevice) = 0;
};

// The calls the system makes, with the kernel's signatures; each goes to the current route.
HANDLE CreateDevice(LPCWSTR pszName, DWORD dwAccess, DWORD dwShareMode,
                    LPSECURITY_ATTRIBUTES pSecurity, DWORD dwDisposition, DWORD dwFlags,
                    HANDLE hTemplate);
BOOL ControlDevice(HANDLE hDevice, DWORD dwCode, LPVOID pIn, DWORD cbIn, LPVOID pOut, DWORD cbOut,
                   LPDWORD pcbReturned, LPOVERLAPPED pOverlapped);
BOOL CloseDevice(HANDLE hDevice);

// Puts pRoute in place of the current route and returns the one it replaces; nullptr restores
// the platform's own. Swap routes only while no device of the old route is open.
DeviceRoute* SetDeviceRoute(DeviceRoute* pRoute);

} // namespace platform
