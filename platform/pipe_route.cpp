#include "device_route.h"
#include "handle.h"
#include "wav_pipe.h"

#include <map>
#include <memory>
#include <mutex>

// A desktop has no stream device "WAV1:"; the stand-in audio driver serves it on a named pipe
// instead. Each control call becomes one request and its reply on the pipe.
namespace platform {

namespace {

constexpr LPCWSTR kDeviceName = L"WAV1:";
// Every pipe instance of the stand-in may be held by another client; it frees one as soon as
// that client closes, so a short wait is enough and a longer one only stalls the caller.
constexpr DWORD kBusyWaitMs = 2000;
// A reply takes well under a millisecond; this bounds a stand-in that hangs or is stopped in a
// debugger without failing a slow but working one on a loaded machine. The user-interface thread
// makes these calls, so a hang must not last long.
constexpr DWORD kReplyTimeoutMs = 2000;

// One opened "WAV1:": the pipe, and a lock so that the user-interface thread and the worker,
// sending through the same handle, each get the reply to their own request.
class PipeDevice {
public:
    PipeDevice(UniqueHandle hPipe, UniqueHandle hEvent)
        : m_hPipe(std::move(hPipe)), m_hEvent(std::move(hEvent)) {}

    BOOL Control(DWORD dwCode, LPVOID pIn, DWORD cbIn, LPVOID pOut, DWORD cbOut,
                 LPDWORD pcbReturned);

private:
    bool Transfer(BYTE* pRequest, DWORD cbRequest, BYTE* pReply, DWORD cbReply);
    bool Await(BOOL bDone, OVERLAPPED& overlapped, DWORD& cbDone);
    void Break();

    std::mutex m_mutex;
    UniqueHandle m_hPipe;
    UniqueHandle m_hEvent; // completion of the pipe's overlapped reads and writes
    // Set after a failed transfer (a time-out, a malformed reply, a stand-in gone): a late reply
    // would answer the next request, so the pipe is closed and every later call fails.
    bool m_bBroken = false;
};

BOOL PipeDevice::Control(DWORD dwCode, LPVOID pIn, DWORD cbIn, LPVOID pOut, DWORD cbOut,
                         LPDWORD pcbReturned) {
    if (cbIn > wav_pipe::kMaxInputBytes || cbOut > wav_pipe::kMaxOutputBytes || (cbIn && !pIn) ||
        (cbOut && !pOut)) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    BYTE request[wav_pipe::kMaxRequestBytes];
    wav_pipe::PutWord(request, dwCode);
    wav_pipe::PutWord(request + wav_pipe::kWordBytes, cbOut);
    if (cbIn)
        std::memcpy(request + wav_pipe::kHeaderBytes, pIn, cbIn);
    BYTE reply[wav_pipe::kMaxReplyBytes];
    const DWORD cbReply = wav_pipe::kWordBytes + cbOut;

    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_bBroken) {
        ::SetLastError(ERROR_BROKEN_PIPE);
        return FALSE;
    }
    if (!Transfer(request, wav_pipe::kHeaderBytes + cbIn, reply, cbReply)) {
        Break();
        return FALSE;
    }
    if (!wav_pipe::GetWord(reply)) {
        ::SetLastError(ERROR_GEN_FAILURE); // the driver refused the message
        return FALSE;
    }
    if (cbOut)
        std::memcpy(pOut, reply + wav_pipe::kWordBytes, cbOut);
    if (pcbReturned)
        *pcbReturned = cbOut;
    return TRUE;
}

// Writes one request and reads its reply, which must be exactly cbReply bytes long.
bool PipeDevice::Transfer(BYTE* pRequest, DWORD cbRequest, BYTE* pReply, DWORD cbReply) {
    OVERLAPPED write = {};
    write.hEvent = m_hEvent.Get();
    DWORD cbDone = 0;
    if (!Await(::WriteFile(m_hPipe.Get(), pRequest, cbRequest, nullptr, &write), write, cbDone))
        return false;
    // Room for one byte more than expected, so that a longer reply shows as ERROR_MORE_DATA.
    OVERLAPPED read = {};
    read.hEvent = m_hEvent.Get();
    if (!Await(::ReadFile(m_hPipe.Get(), pReply, cbReply + 1, nullptr, &read), read, cbDone))
        return false;
    if (cbDone != cbReply) {
        ::SetLastError(ERROR_INVALID_DATA);
        return false;
    }
    return true;
}

// Waits for an overlapped transfer, at most kReplyTimeoutMs, and cancels it when time is up.
bool PipeDevice::Await(BOOL bDone, OVERLAPPED& overlapped, DWORD& cbDone) {
    if (!bDone && ::GetLastError() != ERROR_IO_PENDING)
        return false;
    if (::WaitForSingleObject(overlapped.hEvent, kReplyTimeoutMs) != WAIT_OBJECT_0) {
        ::CancelIo(m_hPipe.Get());
        // The cancelled transfer must end before its OVERLAPPED leaves the stack.
        ::GetOverlappedResult(m_hPipe.Get(), &overlapped, &cbDone, TRUE);
        ::SetLastError(ERROR_TIMEOUT);
        return false;
    }
    return ::GetOverlappedResult(m_hPipe.Get(), &overlapped, &cbDone, FALSE) != FALSE;
}

// Closes the pipe after a failed transfer, keeping the transfer's error code.
void PipeDevice::Break() {
    const DWORD dwError = ::GetLastError();
    m_bBroken = true;
    m_hPipe.Reset();
    ::SetLastError(dwError);
}

// The open devices by the handle given out for each; a call holds its device while it runs, so
// that a close on another thread never frees it under the call.
class PipeRoute final : public DeviceRoute {
public:
    HANDLE Open(LPCWSTR pszName, DWORD dwAccess, DWORD dwShareMode, LPSECURITY_ATTRIBUTES pSecurity,
                DWORD dwDisposition, DWORD dwFlags, HANDLE hTemplate) override;
    BOOL Control(HANDLE hDevice, DWORD dwCode, LPVOID pIn, DWORD cbIn, LPVOID pOut, DWORD cbOut,
                 LPDWORD pcbReturned, LPOVERLAPPED pOverlapped) override;
    BOOL Close(HANDLE hDevice) override;

private:
    std::shared_ptr<PipeDevice> Find(HANDLE hDevice);

    std::mutex m_mutex;
    std::map<HANDLE, std::shared_ptr<PipeDevice>> m_devices;
};

// Opens the pipe, waiting a little while every instance is busy.
UniqueHandle OpenPipe(DWORD dwAccess, DWORD dwShareMode, LPSECURITY_ATTRIBUTES pSecurity) {
    const ULONGLONG deadline = ::GetTickCount64() + kBusyWaitMs;
    for (;;) {
        const HANDLE hPipe = ::CreateFileW(wav_pipe::kPipeName, dwAccess, dwShareMode, pSecurity,
                                           OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        if (hPipe != INVALID_HANDLE_VALUE)
            return UniqueHandle(hPipe);
        const ULONGLONG now = ::GetTickCount64();
        if (::GetLastError() != ERROR_PIPE_BUSY || now >= deadline)
            return UniqueHandle();
        ::WaitNamedPipeW(wav_pipe::kPipeName, static_cast<DWORD>(deadline - now));
    }
}

HANDLE PipeRoute::Open(LPCWSTR pszName, DWORD dwAccess, DWORD dwShareMode,
                       LPSECURITY_ATTRIBUTES pSecurity, DWORD, DWORD, HANDLE) {
    if (!pszName || ::lstrcmpiW(pszName, kDeviceName) != 0) {
        ::SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    UniqueHandle hPipe = OpenPipe(dwAccess, dwShareMode, pSecurity);
    if (!hPipe)
        return INVALID_HANDLE_VALUE; // keeps the open's error: the stand-in is not running
    DWORD dwMode = PIPE_READMODE_MESSAGE;
    if (!::SetNamedPipeHandleState(hPipe.Get(), &dwMode, nullptr, nullptr))
        return INVALID_HANDLE_VALUE;
    UniqueHandle hEvent(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!hEvent)
        return INVALID_HANDLE_VALUE;
    auto pDevice = std::make_shared<PipeDevice>(std::move(hPipe), std::move(hEvent));
    const HANDLE hDevice = pDevice.get();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_devices.emplace(hDevice, std::move(pDevice));
    return hDevice;
}

BOOL PipeRoute::Control(HANDLE hDevice, DWORD dwCode, LPVOID pIn, DWORD cbIn, LPVOID pOut,
                        DWORD cbOut, LPDWORD pcbReturned, LPOVERLAPPED pOverlapped) {
    if (pOverlapped) {
        ::SetLastError(ERROR_NOT_SUPPORTED); // the driver is reached synchronously only
        return FALSE;
    }
    const std::shared_ptr<PipeDevice> pDevice = Find(hDevice);
    if (!pDevice) {
        ::SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return pDevice->Control(dwCode, pIn, cbIn, pOut, cbOut, pcbReturned);
}

BOOL PipeRoute::Close(HANDLE hDevice) {
    std::shared_ptr<PipeDevice> pDevice;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto it = m_devices.find(hDevice);
        if (it == m_devices.end()) {
            ::SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        pDevice = std::move(it->second);
        m_devices.erase(it);
    }
    return TRUE; // the pipe closes with the last call still holding the device
}

std::shared_ptr<PipeDevice> PipeRoute::Find(HANDLE hDevice) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_devices.find(hDevice);
    return it == m_devices.end() ? nullptr : it->second;
}

} // namespace

// Never destroyed: the settings object is a static too, made before the route's first use, and
// closes its device through the route when statics are torn down at exit.
DeviceRoute& PlatformDeviceRoute() {
    static PipeRoute* const s_pRoute = new PipeRoute;
    return *s_pRoute;
}

} // namespace platform
