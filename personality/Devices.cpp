// Stream devices, as the handheld's kernel has them: "WAV1:" is a driver's device, opened with
// CreateFileW and driven with DeviceIoControl. Here the driver is a program at the other end of a
// message-mode pipe of the device's name ("\\.\pipe\WAV1"), in the desktop route's framing. Every
// call blocks as the kernel's does: no time-out, so a driver that stops answering holds its caller.
#include "personality/Coredll.h"

#include "platform/WavPipe.h"

#include <cwctype>

namespace wav_pipe = platform::wav_pipe;

namespace {

// A thread's own connection to a device's driver: as on the handheld, where each caller enters
// the driver by itself, one thread's call that the driver holds never holds another's.
struct Connection {
    DWORD dwThreadId;
    HANDLE hPipe;
    bool bBusy; // a call of its thread is under way
};

// One open device. Its handle is an event of its own, a kernel handle, so that it never collides
// with another. Never freed: a close may come while another thread's call still waits in it.
struct Device {
    HANDLE hIdentity;
    WCHAR szPipe[32];
    static constexpr int kMaxConnections = 16;
    Connection connections[kMaxConnections];
    SRWLOCK lock; // the connections
};

constexpr int kMaxDevices = 32;
Device* g_devices[kMaxDevices];
SRWLOCK g_tableLock = SRWLOCK_INIT;

// The handheld's device names: three letters, a digit, a colon.
bool IsDeviceName(LPCWSTR pszName) {
    return pszName && std::iswalpha(pszName[0]) && std::iswalpha(pszName[1]) &&
           std::iswalpha(pszName[2]) && std::iswdigit(pszName[3]) && pszName[4] == L':' &&
           pszName[5] == 0;
}

// The driver's pipe, waiting as long as every instance is busy; INVALID_HANDLE_VALUE when no
// driver listens.
HANDLE OpenPipe(LPCWSTR pszPipe) {
    for (;;) {
        const HANDLE hPipe = ::CreateFileW(pszPipe, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                           OPEN_EXISTING, 0, nullptr);
        if (hPipe != INVALID_HANDLE_VALUE) {
            DWORD dwMode = PIPE_READMODE_MESSAGE;
            ::SetNamedPipeHandleState(hPipe, &dwMode, nullptr, nullptr);
            return hPipe;
        }
        if (::GetLastError() != ERROR_PIPE_BUSY || !::WaitNamedPipeW(pszPipe, NMPWAIT_WAIT_FOREVER))
            return INVALID_HANDLE_VALUE;
    }
}

Device* FindDevice(HANDLE hHandle) {
    Device* pFound = nullptr;
    ::AcquireSRWLockShared(&g_tableLock);
    for (Device* const pDevice : g_devices)
        if (pDevice && pDevice->hIdentity == hHandle)
            pFound = pDevice;
    ::ReleaseSRWLockShared(&g_tableLock);
    return pFound;
}

// The calling thread's connection, taken for its call; nullptr when the device has no room.
Connection* TakeConnection(Device& device) {
    const DWORD dwThreadId = ::GetCurrentThreadId();
    Connection* pTaken = nullptr;
    ::AcquireSRWLockExclusive(&device.lock);
    for (Connection& connection : device.connections)
        if (!pTaken && connection.dwThreadId == dwThreadId)
            pTaken = &connection;
    for (Connection& connection : device.connections)
        if (!pTaken && !connection.dwThreadId) {
            connection = {dwThreadId, INVALID_HANDLE_VALUE, false};
            pTaken = &connection;
        }
    if (pTaken)
        pTaken->bBusy = true;
    ::ReleaseSRWLockExclusive(&device.lock);
    return pTaken;
}

void ReturnConnection(Device& device, Connection& connection) {
    ::AcquireSRWLockExclusive(&device.lock);
    connection.bBusy = false;
    ::ReleaseSRWLockExclusive(&device.lock);
}

// A write that failed this way reached no driver: the one behind the pipe has ended.
bool DriverEnded(DWORD dwError) {
    return dwError == ERROR_NO_DATA || dwError == ERROR_BROKEN_PIPE ||
           dwError == ERROR_PIPE_NOT_CONNECTED || dwError == ERROR_INVALID_HANDLE;
}

void ClosePipe(Connection& connection) {
    if (connection.hPipe != INVALID_HANDLE_VALUE)
        ::CloseHandle(connection.hPipe);
    connection.hPipe = INVALID_HANDLE_VALUE;
}

// Sends the request, once more on a fresh pipe when the driver behind the old one has ended (the
// device stays; its driver was started again), and reads the one reply.
bool Transfer(LPCWSTR pszPipe, Connection& connection, const BYTE* pRequest, DWORD cbRequest,
              BYTE* pReply, DWORD cbReplyBuffer, DWORD& cbReply) {
    DWORD cbWritten = 0;
    bool bWritten = false;
    for (int nAttempt = 0; nAttempt < 2 && !bWritten; ++nAttempt) {
        if (connection.hPipe == INVALID_HANDLE_VALUE)
            connection.hPipe = OpenPipe(pszPipe);
        if (connection.hPipe == INVALID_HANDLE_VALUE)
            return false;
        bWritten = ::WriteFile(connection.hPipe, pRequest, cbRequest, &cbWritten, nullptr);
        if (!bWritten) {
            const DWORD dwError = ::GetLastError();
            ClosePipe(connection);
            if (!DriverEnded(dwError))
                return false;
        }
    }
    if (!bWritten || !::ReadFile(connection.hPipe, pReply, cbReplyBuffer, &cbReply, nullptr)) {
        ClosePipe(connection);
        return false;
    }
    return true;
}

} // namespace

bool CloseDevice(HANDLE hHandle) {
    Device* pClosed = nullptr;
    ::AcquireSRWLockExclusive(&g_tableLock);
    for (Device*& pDevice : g_devices)
        if (pDevice && pDevice->hIdentity == hHandle) {
            pClosed = pDevice;
            pDevice = nullptr;
        }
    ::ReleaseSRWLockExclusive(&g_tableLock);
    if (!pClosed)
        return false;
    // A call that still waits in the driver keeps its pipe; the others go now, as the handle does.
    ::AcquireSRWLockExclusive(&pClosed->lock);
    for (Connection& connection : pClosed->connections)
        if (!connection.bBusy)
            ClosePipe(connection);
    ::ReleaseSRWLockExclusive(&pClosed->lock);
    ::CloseHandle(pClosed->hIdentity);
    return true;
}

extern "C" {

HANDLE __cdecl HandheldCreateFileW(LPCWSTR pszName, DWORD dwAccess, DWORD dwShareMode,
                                   LPSECURITY_ATTRIBUTES pSecurity, DWORD dwDisposition,
                                   DWORD dwFlags, HANDLE hTemplate) {
    if (pSecurity)
        PersonalityViolation("CreateFileW",
                             "security attributes %p: the handheld ignores them and wants NULL",
                             static_cast<void*>(pSecurity));
    if (hTemplate)
        PersonalityViolation("CreateFileW", "template %p: the handheld ignores it and wants NULL",
                             hTemplate);
    if (!IsDeviceName(pszName))
        return ::CreateFileW(pszName, dwAccess, dwShareMode, nullptr, dwDisposition, dwFlags,
                             nullptr);
    if (dwFlags & FILE_FLAG_OVERLAPPED)
        PersonalityViolation("CreateFileW",
                             "FILE_FLAG_OVERLAPPED on %ls: the handheld's devices have no "
                             "overlapped calls",
                             pszName);

    auto* const pDevice = new Device{};
    ::lstrcpyW(pDevice->szPipe, L"\\\\.\\pipe\\");
    ::lstrcpynW(pDevice->szPipe + 9, pszName, 5); // the name without its colon
    ::InitializeSRWLock(&pDevice->lock);
    // The driver must be there for its device to open; the opening thread keeps the connection.
    Connection* const pFirst = TakeConnection(*pDevice);
    pFirst->hPipe = OpenPipe(pDevice->szPipe);
    ReturnConnection(*pDevice, *pFirst);
    pDevice->hIdentity = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    bool bListed = false;
    ::AcquireSRWLockExclusive(&g_tableLock);
    for (Device*& pSlot : g_devices)
        if (!pSlot && !bListed && pFirst->hPipe != INVALID_HANDLE_VALUE && pDevice->hIdentity) {
            pSlot = pDevice;
            bListed = true;
        }
    ::ReleaseSRWLockExclusive(&g_tableLock);
    if (!bListed) {
        // No driver of that name (or no room): as the kernel, an invalid handle.
        ClosePipe(*pFirst);
        if (pDevice->hIdentity)
            ::CloseHandle(pDevice->hIdentity);
        delete pDevice;
        ::SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    return pDevice->hIdentity;
}

BOOL __cdecl HandheldDeviceIoControl(HANDLE hDevice, DWORD dwCode, LPVOID pIn, DWORD cbIn,
                                     LPVOID pOut, DWORD cbOut, LPDWORD pcbReturned,
                                     LPOVERLAPPED pOverlapped) {
    if (pOverlapped)
        PersonalityViolation("DeviceIoControl",
                             "overlapped %p: the handheld has no overlapped calls and wants NULL",
                             static_cast<void*>(pOverlapped));
    Device* const pDevice = FindDevice(hDevice);
    if (!pDevice)
        return ::DeviceIoControl(hDevice, dwCode, pIn, cbIn, pOut, cbOut, pcbReturned, nullptr);
    Connection* const pConnection = TakeConnection(*pDevice);
    if (!pConnection || cbIn > wav_pipe::kMaxInputBytes || cbOut > wav_pipe::kMaxOutputBytes ||
        (cbIn && !pIn) || (cbOut && !pOut)) {
        if (pConnection)
            ReturnConnection(*pDevice, *pConnection);
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }

    BYTE request[wav_pipe::kMaxRequestBytes];
    wav_pipe::PutWord(request, dwCode);
    wav_pipe::PutWord(request + wav_pipe::kWordBytes, cbOut);
    if (cbIn)
        ::CopyMemory(request + wav_pipe::kHeaderBytes, pIn, cbIn);
    BYTE reply[wav_pipe::kMaxReplyBytes + 1];
    DWORD cbReply = 0;
    const bool bTransferred = Transfer(pDevice->szPipe, *pConnection, request,
                                       wav_pipe::kHeaderBytes + cbIn, reply, sizeof reply, cbReply);
    ReturnConnection(*pDevice, *pConnection);
    if (!bTransferred || cbReply != wav_pipe::kWordBytes + cbOut) {
        ::SetLastError(bTransferred ? ERROR_INVALID_DATA : ERROR_GEN_FAILURE);
        return FALSE;
    }
    if (!wav_pipe::GetWord(reply)) {
        ::SetLastError(ERROR_GEN_FAILURE); // the driver refused the message
        return FALSE;
    }
    if (cbOut)
        ::CopyMemory(pOut, reply + wav_pipe::kWordBytes, cbOut);
    if (pcbReturned)
        *pcbReturned = cbOut;
    return TRUE;
}

} // extern "C"
