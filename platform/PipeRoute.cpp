#include "platform/DeviceRoute.h"
#include "platform/DriverProtocol.h"
#include "platform/Handle.h"
#include "platform/WavPipe.h"

// A desktop has no stream device "WAV1:"; the stand-in audio driver serves it on a named pipe
// instead. Each control call becomes one request and its reply on the pipe.
namespace platform {

namespace {

// Every pipe instance of the stand-in may be held by another client; it frees one as soon as
// that client closes, so a short wait is enough and a longer one only stalls the caller.
constexpr DWORD kBusyWaitMs = 2000;
// A reply takes well under a millisecond; this bounds a stand-in that hangs or is stopped in a
// debugger without failing a slow but working one on a loaded machine. The user-interface thread
// makes these calls, so a hang must not last long.
constexpr DWORD kReplyTimeoutMs = 2000;
// The system opens "WAV1:" once; the rest is room for clients that hold every one of the
// stand-in's 8 pipe instances and then some, so that a busy pipe, not this table, is what they
// meet first.
constexpr int kMaxDevices = 16;

// Holds an SRW lock exclusively for its scope.
class ExclusiveLock {
public:
    explicit ExclusiveLock(SRWLOCK& lock) : m_lock(lock) { ::AcquireSRWLockExclusive(&m_lock); }
    ~ExclusiveLock() { ::ReleaseSRWLockExclusive(&m_lock); }
    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;

private:
    SRWLOCK& m_lock;
};

// Opens the pipe, waiting at most kBusyWaitMs while every instance is busy, in message mode.
UniqueHandle ConnectPipe(DWORD dwAccess, DWORD dwShareMode, LPSECURITY_ATTRIBUTES pSecurity) {
    const ULONGLONG deadline = ::GetTickCount64() + kBusyWaitMs;
    HANDLE hOpened = INVALID_HANDLE_VALUE;
    for (;;) {
        hOpened = ::CreateFileW(wav_pipe::kPipeName, dwAccess, dwShareMode, pSecurity,
                                OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        if (hOpened != INVALID_HANDLE_VALUE)
            break;
        const ULONGLONG now = ::GetTickCount64();
        if (::GetLastError() != ERROR_PIPE_BUSY || now >= deadline)
            return UniqueHandle(); // keeps the open's error: the stand-in is not running
        ::WaitNamedPipeW(wav_pipe::kPipeName, static_cast<DWORD>(deadline - now));
    }
    UniqueHandle hPipe(hOpened);
    DWORD dwMode = PIPE_READMODE_MESSAGE;
    if (!::SetNamedPipeHandleState(hPipe.Get(), &dwMode, nullptr, nullptr))
        return UniqueHandle();
    return hPipe;
}

// One opened "WAV1:": the pipe, and a lock so that the user-interface thread and the worker,
// sending through the same handle, each get the reply to their own request.
class PipeDevice {
public:
    bool Open(DWORD dwAccess, DWORD dwShareMode, LPSECURITY_ATTRIBUTES pSecurity);
    void Close();
    BOOL Control(DWORD dwCode, LPVOID pIn, DWORD cbIn, LPVOID pOut, DWORD cbOut,
                 LPDWORD pcbReturned);

private:
    bool Transfer(BYTE* pRequest, DWORD cbRequest, BYTE* pReply, DWORD cbReply);
    bool Await(BOOL bDone, OVERLAPPED& overlapped, DWORD& cbDone);
    bool Reconnect();
    void Break();

    SRWLOCK m_lock = SRWLOCK_INIT; // one request and its reply at a time
    UniqueHandle m_hPipe;  // closed after a failed transfer: a late reply would answer the next
    UniqueHandle m_hEvent; // completion of the pipe's overlapped reads and writes
    // How the device was opened, for opening the pipe again after a failure.
    DWORD m_dwAccess = 0;
    DWORD m_dwShareMode = 0;
};

bool PipeDevice::Open(DWORD dwAccess, DWORD dwShareMode, LPSECURITY_ATTRIBUTES pSecurity) {
    m_hPipe = ConnectPipe(dwAccess, dwShareMode, pSecurity);
    if (!m_hPipe)
        return false;
    m_hEvent.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!m_hEvent) {
        m_hPipe.Reset();
        return false;
    }
    m_dwAccess = dwAccess;
    m_dwShareMode = dwShareMode;
    return true;
}

void PipeDevice::Close() {
    m_hPipe.Reset();
    m_hEvent.Reset();
}

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
    // One byte more than the largest reply, so that a longer one shows as ERROR_MORE_DATA.
    BYTE reply[wav_pipe::kMaxReplyBytes + 1];
    const DWORD cbReply = wav_pipe::kWordBytes + cbOut;

    const ExclusiveLock lock(m_lock);
    if (!m_hPipe && !Reconnect())
        return FALSE;
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

// Writes one request and reads its reply, which must be exactly cbReply bytes long; pReply has
// room for cbReply + 1.
bool PipeDevice::Transfer(BYTE* pRequest, DWORD cbRequest, BYTE* pReply, DWORD cbReply) {
    OVERLAPPED write = {};
    write.hEvent = m_hEvent.Get();
    DWORD cbDone = 0;
    if (!Await(::WriteFile(m_hPipe.Get(), pRequest, cbRequest, nullptr, &write), write, cbDone))
        return false;
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

// A driver that ended may have started again: one attempt per call, bounded as the first open,
// so that the once-a-second headphone query finds it. Where the stand-in is not running the
// attempt fails at once.
bool PipeDevice::Reconnect() {
    m_hPipe = ConnectPipe(m_dwAccess, m_dwShareMode, nullptr);
    return static_cast<bool>(m_hPipe);
}

// Closes the pipe after a failed transfer, keeping the transfer's error code.
void PipeDevice::Break() {
    const DWORD dwError = ::GetLastError();
    m_hPipe.Reset();
    ::SetLastError(dwError);
}

// The open devices in a fixed table. A handle names its slot and the serial of its open, so that
// a handle closed before never reaches a device opened later in the same slot. A call holds its
// slot while it runs, so that a close on another thread never frees the device under the call;
// the last call to leave a closed slot frees it.
class PipeRoute final : public DeviceRoute {
public:
    HANDLE Open(LPCWSTR pszName, DWORD dwAccess, DWORD dwShareMode, LPSECURITY_ATTRIBUTES pSecurity,
                DWORD dwDisposition, DWORD dwFlags, HANDLE hTemplate) override;
    BOOL Control(HANDLE hDevice, DWORD dwCode, LPVOID pIn, DWORD cbIn, LPVOID pOut, DWORD cbOut,
                 LPDWORD pcbReturned, LPOVERLAPPED pOverlapped) override;
    BOOL Close(HANDLE hDevice) override;

private:
    struct Slot {
        PipeDevice device;
        ULONG_PTR nSerial = 0; // 0 while closed
        int nCalls = 0;        // calls running on the device
        bool bOpening = false; // taken by an open that has not finished
    };

    int Take();
    PipeDevice* Enter(HANDLE hDevice, int& nSlot);
    void Leave(int nSlot);
    static HANDLE MakeHandle(int nSlot, ULONG_PTR nSerial);

    SRWLOCK m_lock = SRWLOCK_INIT; // guards the table's bookkeeping, never a transfer
    Slot m_slots[kMaxDevices];
    ULONG_PTR m_nLastSerial = 0;
};

HANDLE PipeRoute::MakeHandle(int nSlot, ULONG_PTR nSerial) {
    return reinterpret_cast<HANDLE>(nSerial * kMaxDevices + static_cast<ULONG_PTR>(nSlot));
}

// A free slot, marked as being opened; -1 when every one is in use.
int PipeRoute::Take() {
    const ExclusiveLock lock(m_lock);
    for (int nSlot = 0; nSlot < kMaxDevices; ++nSlot) {
        Slot& slot = m_slots[nSlot];
        if (!slot.nSerial && !slot.nCalls && !slot.bOpening) {
            slot.bOpening = true;
            return nSlot;
        }
    }
    return -1;
}

HANDLE PipeRoute::Open(LPCWSTR pszName, DWORD dwAccess, DWORD dwShareMode,
                       LPSECURITY_ATTRIBUTES pSecurity, DWORD, DWORD, HANDLE) {
    if (!pszName || ::lstrcmpiW(pszName, kAudioDeviceName) != 0) {
        ::SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    const int nSlot = Take();
    if (nSlot < 0) {
        ::SetLastError(ERROR_TOO_MANY_OPEN_FILES);
        return INVALID_HANDLE_VALUE;
    }
    Slot& slot = m_slots[nSlot];
    // Outside the table's lock: the open may wait for a busy pipe.
    const bool bOpened = slot.device.Open(dwAccess, dwShareMode, pSecurity);
    const DWORD dwError = ::GetLastError();
    const ExclusiveLock lock(m_lock);
    slot.bOpening = false;
    if (!bOpened) {
        ::SetLastError(dwError);
        return INVALID_HANDLE_VALUE;
    }
    slot.nSerial = ++m_nLastSerial;
    return MakeHandle(nSlot, slot.nSerial);
}

// The open device hDevice names, held for a call until Leave; nullptr for any other handle.
PipeDevice* PipeRoute::Enter(HANDLE hDevice, int& nSlot) {
    const ULONG_PTR nHandle = reinterpret_cast<ULONG_PTR>(hDevice);
    nSlot = static_cast<int>(nHandle % kMaxDevices);
    const ULONG_PTR nSerial = nHandle / kMaxDevices;
    const ExclusiveLock lock(m_lock);
    Slot& slot = m_slots[nSlot];
    if (!nSerial || slot.nSerial != nSerial)
        return nullptr;
    ++slot.nCalls;
    return &slot.device;
}

void PipeRoute::Leave(int nSlot) {
    const ExclusiveLock lock(m_lock);
    Slot& slot = m_slots[nSlot];
    if (--slot.nCalls == 0 && !slot.nSerial)
        slot.device.Close();
}

BOOL PipeRoute::Control(HANDLE hDevice, DWORD dwCode, LPVOID pIn, DWORD cbIn, LPVOID pOut,
                        DWORD cbOut, LPDWORD pcbReturned, LPOVERLAPPED pOverlapped) {
    if (pOverlapped) {
        ::SetLastError(ERROR_NOT_SUPPORTED); // the driver is reached synchronously only
        return FALSE;
    }
    int nSlot = 0;
    PipeDevice* const pDevice = Enter(hDevice, nSlot);
    if (!pDevice) {
        ::SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    const BOOL bDone = pDevice->Control(dwCode, pIn, cbIn, pOut, cbOut, pcbReturned);
    const DWORD dwError = ::GetLastError();
    Leave(nSlot);
    ::SetLastError(dwError);
    return bDone;
}

BOOL PipeRoute::Close(HANDLE hDevice) {
    int nSlot = 0;
    if (!Enter(hDevice, nSlot)) {
        ::SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    {
        const ExclusiveLock lock(m_lock);
        m_slots[nSlot].nSerial = 0; // no call finds it any more
    }
    Leave(nSlot); // the pipe closes with the last call still holding the device
    return TRUE;
}

} // namespace

// Never destroyed: the settings object is a static too, made before the route's first use, and
// closes its device through the route when statics are torn down at exit.
DeviceRoute& PlatformDeviceRoute() {
    static PipeRoute* const s_pRoute = new PipeRoute;
    return *s_pRoute;
}

} // namespace platform
