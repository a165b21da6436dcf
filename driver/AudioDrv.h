#pragma once

#include <windows.h>

#include <atomic>
#include <cstddef>

// Control code of every wave-driver message: device type sound (0x1D), function 3, buffered,
// any access.
constexpr DWORD IOCTL_WAV_MESSAGE = 0x001D000C;

// Driver-specific message numbers of the audio driver behind "WAV1:".
enum : DWORD {
    AUDMSG_EQ_ENABLE = 111,     // dwParam1: 1 equalizer on, 0 off
    AUDMSG_AGC_ENABLE = 112,    // dwParam1: 1 AGC on, 0 off
    AUDMSG_AGC_LEVEL = 113,     // dwParam1: microphone gain level
    AUDMSG_EQ_BAND_FIRST = 114, // band i is message 114 + i; dwParam1: level 0..15
    AUDMSG_GET_HEADPHONE = 123, // answer in the 32-bit output word, non-zero when plugged in
};

// The record every message travels in: five little-endian 32-bit words.
struct MMDRV_MESSAGE_PARAMS {
    UINT32 uDeviceId;
    UINT32 uMsg;
    UINT32 dwUser;
    UINT32 dwParam1;
    UINT32 dwParam2;
};
// The same layout for both word sizes: the handheld's 32-bit one and a desktop's 64-bit one.
static_assert(sizeof(MMDRV_MESSAGE_PARAMS) == 20, "the driver expects a 20-byte record");
static_assert(offsetof(MMDRV_MESSAGE_PARAMS, uDeviceId) == 0 &&
                  offsetof(MMDRV_MESSAGE_PARAMS, uMsg) == 4 &&
                  offsetof(MMDRV_MESSAGE_PARAMS, dwUser) == 8 &&
                  offsetof(MMDRV_MESSAGE_PARAMS, dwParam1) == 12 &&
                  offsetof(MMDRV_MESSAGE_PARAMS, dwParam2) == 16,
              "the driver reads five consecutive 32-bit words");
static_assert(sizeof(DWORD) == 4 && sizeof(LONG) == 4, "the driver's words are 32 bits wide");

// Bands 0..4: 100Hz, 250Hz, 1KHz, 3.5KHz, 10KHz.
constexpr int kBandCount = 5;

// Levels the system starts from before anything is loaded: every band flat, the middle gain.
constexpr LONG kFlatBandLevel = 8;
constexpr LONG kDefaultAGCLevel = 48;

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
