#include "device_route.h"

// A desktop has no stream device "WAV1:"; until the stand-in driver is reachable, opening fails
// as it does on a handheld without the audio driver.
namespace platform {

namespace {

class PipeRoute final : public DeviceRoute {
public:
    HANDLE Open(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE) override {
        ::SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    BOOL Control(HANDLE, DWORD, LPVOID, DWORD, LPVOID, DWORD, LPDWORD, LPOVERLAPPED) override {
        ::SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    BOOL Close(HANDLE) override {
        ::SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
};

} // namespace

DeviceRoute& PlatformDeviceRoute() {
    static PipeRoute s_route;
    return s_route;
}

} // namespace platform
