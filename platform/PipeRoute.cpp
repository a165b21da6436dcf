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
// makes these calls, so a hang must not last long, and it is waited for only once (see
// PipeDevice::StillSilent).
constexpr DWORD kReplyTimeoutMs = 2000;
// A cancelled transfer ends at once: measured under Wine, 3..28 ms, whether the thread that
// started it waited, ran or had ended. The bound only keeps a platform that never ends one from
// holding the caller.
constexpr DWORD kCancelWaitMs = 1000;
// The system opens "WAV1:" once; the rest is room for clients that hold every one of the
// stand-in's 8 pipe instances and then some, so that a busy pipe, not this table, is what they
// meet first.
constexpr int kMaxDevices = 16;
// Open serials run 1..kMaxSerial and then start again, so that a handle, serial * kMaxDevices +
// slot, stays a 32-bit value on both word sizes and is never 0 nor INVALID_HANDLE_VALUE.
constexpr ULONG_PTR kMaxSerial = (0xFFFFFFFFu - kMaxDevices) / kMaxDevices;
static_assert(kMaxSerial * kMaxDevices + (kMaxDevices - 1) < 0xFFFFFFFFu,
              "the largest handle is below the 32-bit INVALID_HANDLE_VALUE");

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

// The errors of a write on a pipe whose driver has ended (ERROR_NO_DATA under Wine, measured).
bool IsBrokenPipe(DWORD dwError) {
    return dwError == ERROR_NO_DATA || dwError == ERROR_BROKEN_PIPE ||
           dwError == ERROR_PIPE_NOT_CONNECTED;
}

// One opened "WAV1:": the pipe, and a lock so that the user-interface thread and the worker,
// sending through the same handle, each get the reply to their own request.
class PipeDevice {
public:
    bool Open(DWORD dwAccess, DWORD dwShareMode, LPSECURITY_ATTRIBUTES pSecurity);
    void Close();
    BOOL Control(DWORD dwCode, LPVOID pIn, DWORD cbIn, LPVOID pOut, DWORD cbOut,
                 LPDWORD pcbReturned);
    // False once a transfer could not be cancelled: its buffers are never used again.
    bool IsUsable() const { return !m_bAbandoned; }

private:
    enum class Outcome {
        kAnswered,  // the reply arrived whole
        kUnsent,    // the write failed: the request reached no driver
        kFailed,    // the request may have reached the driver, its reply did not come whole
        kReplyOwed, // the driver did not answer in time; its reply may still come
    };
    Outcome Exchange(DWORD cbRequest, DWORD cbReply);
    Outcome Write(DWORD cbRequest);
    bool StillSilent();
    bool Reconnect();
    void Break();
    bool Cancel(OVERLAPPED& overlapped);

    SRWLOCK m_lock = SRWLOCK_INIT; // one request and its reply at a time
    UniqueHandle m_hPipe;  // closed after a failed transfer: a late reply would answer the next
    UniqueHandle m_hEvent; // completion of the pipe's overlapped reads and writes
    // How the device was opened, for opening the pipe again after a failure.
    DWORD m_dwAccess = 0;
    DWORD m_dwShareMode = 0;
    // The transfers' buffers live here, not on a caller's stack: the reply a silent driver owes
    // arrives after its call has returned.
    OVERLAPPED m_write = {};
    OVERLAPPED m_read = {};
    BYTE m_request[wav_pipe::kMaxRequestBytes] = {};
    // One byte more than the largest reply, so that a longer one shows as ERROR_MORE_DATA.
    BYTE m_reply[wav_pipe::kMaxReplyBytes + 1] = {};
    DWORD m_cbOwed = 0; // size of the reply a silent driver still owes; 0 when none is
    bool m_bAbandoned = false;
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
    Break();
    if (!m_bAbandoned)
        m_hEvent.Reset();
}

BOOL PipeDevice::Control(DWORD dwCode, LPVOID pIn, DWORD cbIn, LPVOID pOut, DWORD cbOut,
                         LPDWORD pcbReturned) {
    if (cbIn > wav_pipe::kMaxInputBytes || cbOut > wav_pipe::kMaxOutputBytes || (cbIn && !pIn) ||
        (cbOut && !pOut)) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const DWORD cbRequest = wav_pipe::kHeaderBytes + cbIn;
    const DWORD cbReply = wav_pipe::kWordBytes + cbOut;

    // A call on the other thread holds the lock for at most one transfer, which is bounded.
    const ExclusiveLock lock(m_lock);
    if (StillSilent()) {
        ::SetLastError(ERROR_TIMEOUT);
        return FALSE;
    }
    if (!m_hPipe && !Reconnect())
        return FALSE;
    wav_pipe::PutWord(m_request, dwCode);
    wav_pipe::PutWord(m_request + wav_pipe::kWordBytes, cbOut);
    if (cbIn)
        std::memcpy(m_request + wav_pipe::kHeaderBytes, pIn, cbIn);
    Outcome outcome = Exchange(cbRequest, cbReply);
    // A driver that ended and started again since the last call left this connection broken;
    // the request reached no driver, so it goes once more on a fresh connection. One that may
    // have reached a driver is never sent twice.
    if (outcome == Outcome::kUnsent && IsBrokenPipe(::GetLastError())) {
        Break();
        if (!Reconnect())
            return FALSE;
        outcome = Exchange(cbRequest, cbReply);
    }
    if (outcome != Outcome::kAnswered) {
        if (outcome != Outcome::kReplyOwed)
            Break();
        return FALSE;
    }
    if (!wav_pipe::GetWord(m_reply)) {
        ::SetLastError(ERROR_GEN_FAILURE); // the driver refused the message
        return FALSE;
    }
    if (cbOut)
        std::memcpy(pOut, m_reply + wav_pipe::kWordBytes, cbOut);
    if (pcbReturned)
        *pcbReturned = cbOut;
    return TRUE;
}

// Writes the request and reads its reply, which must be exactly cbReply bytes long. A reply not
// there in time stays owed: its read goes on after the call.
PipeDevice::Outcome PipeDevice::Exchange(DWORD cbRequest, DWORD cbReply) {
    const Outcome written = Write(cbRequest);
    if (written != Outcome::kAnswered)
        return written;
    m_read = {};
    m_read.hEvent = m_hEvent.Get();
    if (!::ReadFile(m_hPipe.Get(), m_reply, cbReply + 1, nullptr, &m_read) &&
        ::GetLastError() != ERROR_IO_PENDING)
        return Outcome::kFailed;
    if (::WaitForSingleObject(m_hEvent.Get(), kReplyTimeoutMs) != WAIT_OBJECT_0) {
        m_cbOwed = cbReply;
        ::SetLastError(ERROR_TIMEOUT);
        return Outcome::kReplyOwed;
    }
    DWORD cbDone = 0;
    if (!::GetOverlappedResult(m_hPipe.Get(), &m_read, &cbDone, FALSE))
        return Outcome::kFailed;
    if (cbDone != cbReply) {
        ::SetLastError(ERROR_INVALID_DATA);
        return Outcome::kFailed;
    }
    return Outcome::kAnswered;
}

// kAnswered once the request is written. A write that fails wrote nothing; one that is still
// under way after kReplyTimeoutMs (the driver reads nothing) is cancelled, but may have reached it.
PipeDevice::Outcome PipeDevice::Write(DWORD cbRequest) {
    m_write = {};
    m_write.hEvent = m_hEvent.Get();
    if (!::WriteFile(m_hPipe.Get(), m_request, cbRequest, nullptr, &m_write) &&
        ::GetLastError() != ERROR_IO_PENDING)
        return Outcome::kUnsent;
    if (::WaitForSingleObject(m_hEvent.Get(), kReplyTimeoutMs) != WAIT_OBJECT_0) {
        Cancel(m_write);
        ::SetLastError(ERROR_TIMEOUT);
        return Outcome::kFailed;
    }
    DWORD cbDone = 0;
    return ::GetOverlappedResult(m_hPipe.Get(), &m_write, &cbDone, FALSE) ? Outcome::kAnswered
                                                                          : Outcome::kUnsent;
}

// A driver that did not answer in time is taken as silent until its late reply comes: until
// then every call fails at once, so that a stopped driver stalls its callers once, not once per
// call. The late reply is looked for without a wait, and dropped when it comes; the next
// call, within a second (the page's headphone query), then finds the driver answering again.
// A pipe that broke meanwhile (the driver ended) is opened again by that call.
bool PipeDevice::StillSilent() {
    if (!m_cbOwed)
        return false;
    DWORD cbDone = 0;
    if (!::GetOverlappedResult(m_hPipe.Get(), &m_read, &cbDone, FALSE)) {
        if (::GetLastError() == ERROR_IO_INCOMPLETE)
            return true;
        cbDone = 0; // the pipe broke
    }
    const bool bWhole = cbDone == m_cbOwed;
    m_cbOwed = 0;
    if (!bWhole)
        Break();
    return false;
}

// A driver that ended may have started again: one attempt per call, bounded as the first open,
// so that the once-a-second headphone query finds it. Where the stand-in is not running the
// attempt fails at once.
bool PipeDevice::Reconnect() {
    if (m_bAbandoned) {
        ::SetLastError(ERROR_GEN_FAILURE);
        return false;
    }
    m_hPipe = ConnectPipe(m_dwAccess, m_dwShareMode, nullptr);
    return static_cast<bool>(m_hPipe);
}

// Closes the pipe, first cancelling the read of a reply still owed; keeps the error code.
void PipeDevice::Break() {
    const DWORD dwError = ::GetLastError();
    if (m_cbOwed) {
        m_cbOwed = 0;
        Cancel(m_read);
    }
    m_hPipe.Reset();
    ::SetLastError(dwError);
}

// Cancels a transfer and waits for it to end, since it writes into this device's buffers. One
// that does not end keeps its pipe and event open and the device out of use.
bool PipeDevice::Cancel(OVERLAPPED& overlapped) {
    ::CancelIoEx(m_hPipe.Get(), &overlapped);
    if (::WaitForSingleObject(m_hEvent.Get(), kCancelWaitMs) == WAIT_OBJECT_0)
        return true;
    m_hPipe.Release();
    m_hEvent.Release();
    m_bAbandoned = true;
    return false;
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

    // Guards the table's bookkeeping, never a transfer; a device's close under it waits at most
    // for the cancelling of an owed reply.
    SRWLOCK m_lock = SRWLOCK_INIT;
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
        if (!slot.nSerial && !slot.nCalls && !slot.bOpening && slot.device.IsUsable()) {
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
    m_nLastSerial = m_nLastSerial % kMaxSerial + 1;
    slot.nSerial = m_nLastSerial;
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
