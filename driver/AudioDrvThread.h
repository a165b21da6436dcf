#pragma once

#include "driver/AudioDrv.h"
#include "platform/Handle.h"

#include <atomic>

// Takes the band and gain levels off the user-interface thread: the setters store the level and
// wake a worker, which lets a burst settle for 100 ms and then sends each level that changed,
// gain first, then the bands in ascending order. A level the driver refuses is put back.
class CAudioDrvThread : public CAudioDrv {
public:
    CAudioDrvThread();
    ~CAudioDrvThread() override;

    BOOL Open() override;
    BOOL Close() override;
    BOOL SetBandLevel(int nBand, int nLevel) override;
    BOOL SetAGCLevel(int nLevel) override;
    virtual BOOL Kick();
    virtual int GetBandLevel(int nBand) const;
    virtual int GetAGCLevel() const;

protected:
    // The worker's body; runs on the worker thread.
    virtual BOOL Run();
    // Called on the worker thread after each send; bFailed 1 means the driver refused and
    // nLevel is the last applied level that was put back.
    virtual void OnBandApplied(int nBand, int nLevel, BOOL bFailed);
    virtual void OnAGCLevelApplied(int nLevel, BOOL bFailed);

    // Ends the worker and waits until it has left; does nothing when none runs. A derived
    // destructor calls it first, so that the worker never calls into a half-destroyed object.
    // A worker stuck for 2.5 s in a call to a driver that does not answer is left to the end of
    // the process, with the device (no longer closed) and its event; it reports nothing, but
    // reads this object's end flag when the call returns, so the object's storage must last (a
    // static one's does). The object then opens no other.
    void EndWorker();

    // The worker's wake event, 0 while no worker runs; the setters refuse while it is 0.
    std::atomic<HANDLE> m_hEvent{nullptr};
    // Live levels: the latest asked for.
    std::atomic<LONG> m_nBand[kBandCount];
    std::atomic<LONG> m_nAGCLevel;
    // Each level is one 4-byte word, read and written whole on either word size without a lock.
    static_assert(std::atomic<LONG>::is_always_lock_free && sizeof(std::atomic<LONG>) == 4,
                  "a shared level is a lock-free 32-bit word");

private:
    static DWORD WINAPI ThreadProc(LPVOID pParam);

    struct AppliedLevels {
        LONG nBand[kBandCount];
        LONG nAGCLevel;
    };
    void ApplyChanges(AppliedLevels& applied);
    template <typename Send, typename Report>
    bool ApplyLevel(std::atomic<LONG>& live, LONG& nApplied, Send send, Report report);
    BOOL StoreLevel(std::atomic<LONG>& live, int nLevel);
    static void PutBack(std::atomic<LONG>& live, LONG nSent, LONG nApplied);

    // Kept so that ending the worker can wait for it to leave.
    platform::UniqueHandle m_hThread;
    // Set when the worker is to end: looked for between two sends, and by a worker that has not
    // yet published its event.
    std::atomic<bool> m_bEnding{false};
    static_assert(std::atomic<bool>::is_always_lock_free, "the end flag takes no lock");
    // Set when ending had to leave the worker in its call.
    bool m_bWorkerLeft = false;
};
