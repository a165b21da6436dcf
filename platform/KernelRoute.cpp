#include "platform/DeviceRoute.h"

// The handheld's route: stream devices are the kernel's own.
namespace platform {

namespace {

class KernelRoute final : public DeviceRoute {
public:
    HANDLE Open(LPCWSTR pszName, DWORD dwAccess, DWORD dwShareMode, LPSECURITY_ATTRIBUTES pSecurity,
                DWORD dwDisposition, DWORD dwFlags, HANDLE hTemplate) override {
        return ::CreateFileW(pszName, dwAccess, dwShareMode, pSecurity, dwDisposition, dwFlags,
                             hTemplate);
    }
    BOOL Control(HANDLE hDevice, DWORD dwCode, LPVOID pIn, DWORD cbIn, LPVOID pOut, DWORD cbOut,
                 LPDWORD pcbReturned, LPOVERLAPPED pOverlapped) override {
        return ::DeviceIoControl(hDevice, dwCode, pIn, cbIn, pOut, cbOut, pcbReturned, pOverlapped);
    }
    BOOL Close(HANDLE hDevice) override { return ::CloseHandle(hDevice); }
};

} // namespace

// Never destroyed, as on a desktop: the settings object closes its device at exit.
DeviceRoute& PlatformDeviceRoute() {
    static KernelRoute* const s_pRoute = new KernelRoute;
    return *s_pRoute;
}

} // namespace platform
