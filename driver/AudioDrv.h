#pragma once

#include "platform/DriverProtocol.h"

#include <windows.h>

#include <atomic>

inline bool IsValidBand(int nBand) { return nBand >= 0 && nBand < kBandCount; }

// The channel to the audio driver: one synchronous driver message per setting, and the
// headphone query. The two switches remember the last requested state so that repeating it
// sends nothing.
class CAudioDrv {
public:
    CAudioDrv() = default;
    CAudioDrv(const CAudioDrv&) = delete;
    CAudioDrv& operator=(const CAudioDrv&) = delete;

    virtual ~CAudioDrv();
    virtual BOOL Open();
    virtual BOOL Close();
    virtual BOOL SetEQEnable(BOOL bEnable);
    virtual BOOL SetBandLevel(int nBand, int nLevel);
    virtual BOOL SetAGCEnable(BOOL bEnable);
    virtual BOOL SetAGCLevel(int nLevel);
    virtual BOOL IsHeadphonePresent();
    virtual BOOL SendDriverMessage(DWORD dwMsg, DWORD dwParam);

    // Last requested switch states; requests, not states the driver confirmed.
    BOOL m_bEQEnable = TRUE;
    BOOL m_bAGCEnable = TRUE;

protected:
    // Read by the worker thread while the user-interface thread opens and closes it.
    std::atomic<HANDLE> m_hDevice{nullptr};
    static_assert(std::atomic<HANDLE>::is_always_lock_free &&
                      sizeof(std::atomic<HANDLE>) == sizeof(HANDLE),
                  "a handle the two threads share is one plain word, without a lock");

private:
    BOOL CloseDevice();
};
