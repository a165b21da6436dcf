#pragma once

#include "platform/DriverProtocol.h"
#include "standin/Log.h"

#include <condition_variable>
#include <mutex>
#include <random>
#include <set>

// What the audio driver keeps, and how it answers each message: the set messages store their
// setting unless refused, the headphone query answers 1 while a headphone is plugged in. Shared
// by every pipe instance and the command loop.
class DriverState {
public:
    explicit DriverState(Log& log) : m_log(log) {}

    // Answers one control call, logs it, and fills the output; returns the result word.
    DWORD Answer(DWORD dwCode, const BYTE* pIn, DWORD cbIn, BYTE* pOut, DWORD cbOut);

    // Starts from the settings the application stored, where there are any, as the handheld's
    // driver has the user's settings after a restart; each one missing or out of range keeps
    // the system's default.
    void LoadStoredSettings();
    void SetHeadphone(bool bPlugged);
    // Refusing and accepting apply to the driver's own messages only; false for any other.
    bool Refuse(DWORD dwMsg);
    bool Accept(DWORD dwMsg);
    void RefuseAll();
    void AcceptAll();
    // A held message gets no reply until it is released, as from a driver stuck in that call;
    // other messages, on other pipe instances, are answered meanwhile. Ending releases them all.
    bool Hold(DWORD dwMsg);
    bool Release(DWORD dwMsg);
    void ReleaseAll();
    // Refuses dwPercent (0..kAllPercent) of the set messages at random, drawn from a generator
    // seeded with dwSeed, so that a run can be replayed; false for a larger percentage.
    static constexpr DWORD kAllPercent = 100;
    bool SetRefuseRate(DWORD dwPercent);
    void Seed(DWORD dwSeed);
    void PrintState();

    static bool IsDriverMessage(DWORD dwMsg);

private:
    DWORD AnswerRecord(DWORD dwCode, const MMDRV_MESSAGE_PARAMS& params, BYTE* pOut, DWORD cbOut);
    bool Takes(DWORD dwCode, DWORD dwMsg, DWORD cbOut);
    bool Store(DWORD dwMsg, DWORD dwParam);
    bool RefusedAtRandom(DWORD dwMsg);

    Log& m_log;
    std::mutex m_mutex;
    bool m_bHeadphone = true;
    std::set<DWORD> m_refused;
    std::set<DWORD> m_held;
    std::condition_variable m_released;
    DWORD m_dwRefuseRate = 0; // percent of the set messages
    std::mt19937 m_random;
    // What the driver starts with: the system's own defaults.
    DWORD m_dwEQEnable = 1;
    DWORD m_dwAGCEnable = 1;
    DWORD m_dwAGCLevel = kDefaultAGCLevel;
    DWORD m_dwBand[kBandCount] = {kFlatBandLevel, kFlatBandLevel, kFlatBandLevel, kFlatBandLevel,
                                  kFlatBandLevel};
};
