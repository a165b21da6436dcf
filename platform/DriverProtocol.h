#pragma once

#include <windows.h>

#include <cstddef>

// What the audio driver behind "WAV1:" understands: the device, the control code, the message
// numbers and the record they travel in. The driver channel, the device routes and the stand-in
// driver all speak it.

constexpr LPCWSTR kAudioDeviceName = L"WAV1:";

// Control code of every wave-driver message: device type sound (0x1D), function 3, buffered,
// any access.
constexpr DWORD IOCTL_WAV_MESSAGE = 0x001D000C;

// The driver's own message numbers.
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

// Bands 0..4: 100Hz, 250Hz, 1KHz, 3.5KHz, 10KHz; a level is 0 (top of the slider, MAX) to 15
// (bottom, MIN).
constexpr int kBandCount = 5;
constexpr LONG kMaxBandLevel = 15;

// Levels the driver and the system start from before anything is set: every band flat, the
// middle gain.
constexpr LONG kFlatBandLevel = 8;
constexpr LONG kDefaultAGCLevel = 48;
