#include "driver/AudioDrvThread.h"

namespace {

// Lets a burst of slider moves settle into one message per setting.
constexpr DWORD kSettleMs = 100;
// How long ending the worker waits for the one send under way. A desktop's pipe route gives up on
// a driver that does not answer after 2 s, so there the worker has left by then; this bound lies
// above it so that it does. The handheld's kernel call waits for its driver without a bound: a
// worker stuck in it is left to the end of the process, which takes it with the process.
constexpr DWORD kEndWaitMs = 2500;

} // namespace

CAudioDrvThread::CAudioDrvThread() : m_nAGCLevel(kDefaultAGCLevel) {
    for (auto& nBand : m_nBand)
        nBand = kFlatBandLevel;
}

CAudioDrvThread::~CAudioDrvThread() { EndWorker(); }

BOOL CAudioDrvThread::Open() {
    if (m_bWorkerLeft)
        return FALSE; // that worker may still send and report when its driver answers
    if (!CAudioDrv::Open())
        return FALSE;
    m_bEnding = false;
    const HANDLE hThread = ::CreateThread(nullptr, 0, ThreadProc, this, 0, nullptr);
    if (!hThread)
        return FALSE;
    m_hThread.Reset(hThread);
    return TRUE;
}

BOOL CAudioDrvThread::Close() {
    EndWorker();
    return CAudioDrv::Close();
}

// Closing the event does not end a wait on it on every platform, so the worker is woken with the
// event already taken from it, which tells it to leave without a further pass. The event is
// closed once the worker can no longer touch it.
void CAudioDrvThread::EndWorker() {
    m_bEnding = true;
    const HANDLE hEvent = m_hEvent.exchange(nullptr);
    if (hEvent)
        ::SetEvent(hEvent);
    if (m_hThread) {
        // The worker looks for the end before each send, so this waits for at most the one send
        // under way.
        const bool bLeft = ::WaitForSingleObject(m_hThread.Get(), kEndWaitMs) != WAIT_OBJECT_0;
        m_hThread.Reset();
        if (bLeft) {
            // Its driver does not answer. What its call may still use stays open for the end of
            // the process: the event, and the device, which is no longer closed here; once the
            // call returns the worker sees the end and reports nothing.
            m_bWorkerLeft = true;
            m_hDevice = nullptr;
            return;
        }
    }
    if (hEvent)
        ::CloseHandle(hEvent);
}

BOOL CAudioDrvThread::SetBandLevel(int nBand, int nLevel) {
    if (!IsValidBand(nBand))
        return FALSE;
    return StoreLevel(m_nBand[nBand], nLevel);
}

BOOL CAudioDrvThread::SetAGCLevel(int nLevel) { return StoreLevel(m_nAGCLevel, nLevel); }

// Stores a new live level and wakes the worker; an unchanged level costs only the comparison.
BOOL CAudioDrvThread::StoreLevel(std::atomic<LONG>& live, int nLevel) {
    const HANDLE hEvent = m_hEvent;
    if (!hEvent)
        return FALSE;
    if (live != nLevel) {
        live = nLevel;
        ::SetEvent(hEvent);
        ::Sleep(1); // lets the worker have the processor
    }
    return TRUE;
}

BOOL CAudioDrvThread::Kick() {
    const HANDLE hEvent = m_hEvent;
    return hEvent ? ::SetEvent(hEvent) : FALSE;
}

int CAudioDrvThread::GetBandLevel(int nBand) const {
    return IsValidBand(nBand) ? m_nBand[nBand].load() : 0;
}

int CAudioDrvThread::GetAGCLevel() const { return m_nAGCLevel; }

DWORD WINAPI CAudioDrvThread::ThreadProc(LPVOID pParam) {
    if (pParam)
        static_cast<CAudioDrvThread*>(pParam)->Run();
    return 0;
}

BOOL CAudioDrvThread::Run() {
    // The levels standing when the worker starts count as already applied.
    AppliedLevels applied;
    for (int nBand = 0; nBand < kBandCount; ++nBand)
        applied.nBand[nBand] = m_nBand[nBand];
    applied.nAGCLevel = m_nAGCLevel;

    const HANDLE hEvent = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!hEvent)
        return FALSE;
    m_hEvent = hEvent;

    while (!m_bEnding) {
        if (::WaitForSingleObject(hEvent, INFINITE) != WAIT_OBJECT_0)
            break;
        if (!m_hEvent)
            return TRUE; // EndWorker took the event and closes it
        if (!m_hDevice)
            break;
        ::Sleep(kSettleMs);
        ApplyChanges(applied);
        if (!m_hEvent)
            return TRUE;
    }

    // Leaving on its own, the worker closes its event unless EndWorker has taken it meanwhile.
    HANDLE hOwn = hEvent;
    if (m_hEvent.compare_exchange_strong(hOwn, nullptr))
        ::CloseHandle(hEvent);
    return TRUE;
}

// Sends one setting's live level when it differs from the level applied last, and reports the
// level that stands afterwards: the one sent, or after a refusal the one put back. False when the
// worker is to end.
template <typename Send, typename Report>
bool CAudioDrvThread::ApplyLevel(std::atomic<LONG>& live, LONG& nApplied, Send send,
                                 Report report) {
    if (m_bEnding)
        return false;
    const LONG nLevel = live;
    if (nLevel == nApplied)
        return true;
    const BOOL bAccepted = send(nLevel);
    if (bAccepted)
        nApplied = nLevel;
    else
        PutBack(live, nLevel, nApplied);
    if (m_bEnding)
        return false;
    report(nApplied, !bAccepted);
    return true;
}

// The end is looked for before each send and after it, so that ending waits for at most the one
// send under way, and nothing is sent or reported once the owner has begun to end: its report
// would write into settings that are being torn down.
void CAudioDrvThread::ApplyChanges(AppliedLevels& applied) {
    if (!ApplyLevel(
            m_nAGCLevel, applied.nAGCLevel,
            [this](LONG nLevel) { return CAudioDrv::SetAGCLevel(nLevel); },
            [this](LONG nLevel, BOOL bFailed) { OnAGCLevelApplied(nLevel, bFailed); }))
        return;
    for (int nBand = 0; nBand < kBandCount; ++nBand)
        if (!ApplyLevel(
                m_nBand[nBand], applied.nBand[nBand],
                [this, nBand](LONG nLevel) { return CAudioDrv::SetBandLevel(nBand, nLevel); },
                [this, nBand](LONG nLevel, BOOL bFailed) {
                    OnBandApplied(nBand, nLevel, bFailed);
                }))
            return;
}

// Puts the last applied level back after a refusal, unless the user-interface thread stored a
// newer level during the send: that one stands and its own wake brings it to the driver.
void CAudioDrvThread::PutBack(std::atomic<LONG>& live, LONG nSent, LONG nApplied) {
    live.compare_exchange_strong(nSent, nApplied);
}

void CAudioDrvThread::OnBandApplied(int, int, BOOL) {}

void CAudioDrvThread::OnAGCLevelApplied(int, BOOL) {}
