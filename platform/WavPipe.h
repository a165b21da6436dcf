#pragma once

#include <windows.h>

#include <cstring>

// How a desktop reaches the stand-in audio driver: the control calls to "WAV1:" travel over a
// message-mode named pipe, one request and one reply each.
//
//   request: control code (4 bytes), output length (4 bytes), the input bytes (the 20-byte record)
//   reply:   result (4 bytes, non-zero when the driver accepted), then exactly output-length bytes
//
// Words are little-endian, as on every platform the system runs on.
namespace platform::wav_pipe {

constexpr LPCWSTR kPipeName = L"\\\\.\\pipe\\WAV1";

constexpr DWORD kWordBytes = sizeof(DWORD);
constexpr DWORD kHeaderBytes = 2 * kWordBytes;
// No driver message needs more than its 20-byte record either way; the bounds let both sides
// keep a whole message in a fixed buffer.
constexpr DWORD kMaxInputBytes = 64;
constexpr DWORD kMaxOutputBytes = 64;
constexpr DWORD kMaxRequestBytes = kHeaderBytes + kMaxInputBytes;
constexpr DWORD kMaxReplyBytes = kWordBytes + kMaxOutputBytes;

inline void PutWord(BYTE* pBytes, DWORD dwValue) { std::memcpy(pBytes, &dwValue, kWordBytes); }

inline DWORD GetWord(const BYTE* pBytes) {
    DWORD dwValue = 0;
    std::memcpy(&dwValue, pBytes, kWordBytes);
    return dwValue;
}

} // namespace platform::wav_pipe
