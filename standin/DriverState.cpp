#include "standin/DriverState.h"

#include "settings/SettingsKey.h"

#include <cstring>
#include <string>

namespace {

constexpr DWORD kAnswerBytes = sizeof(DWORD);

bool IsBandMessage(DWORD dwMsg) {
    return dwMsg >= AUDMSG_EQ_BAND_FIRST && dwMsg < AUDMSG_EQ_BAND_FIRST + kBandCount;
}

bool IsSetMessage(DWORD dwMsg) {
    return (dwMsg >= AUDMSG_EQ_ENABLE && dwMsg <= AUDMSG_AGC_LEVEL) || IsBandMessage(dwMsg);
}

const char* OnOff(DWORD dwFlag) { return dwFlag ? "on" : "off"; }

// A stored number of the settings key, read as the application reads it (any value of up to 4
// bytes, zero-extended); false when it is missing or longer.
bool ReadStored(LPCWSTR pszName, DWORD& dwValue) {
    CSettingsKey key;
    return key.Open(HKEY_CURRENT_USER, kSettingsKeyPath, KEY_READ) == ERROR_SUCCESS &&
           key.ReadNumber(pszName, dwValue) == ERROR_SUCCESS;
}

} // namespace

bool DriverState::IsDriverMessage(DWORD dwMsg) {
    return IsSetMessage(dwMsg) || dwMsg == AUDMSG_GET_HEADPHONE;
}

DWORD DriverState::Answer(DWORD dwCode, const BYTE* pIn, DWORD cbIn, BYTE* pOut, DWORD cbOut) {
    std::memset(pOut, 0, cbOut);
    if (cbIn != sizeof(MMDRV_MESSAGE_PARAMS)) {
        m_log.Note("refused: an input of %lu bytes is no message record", cbIn);
        return 0;
    }
    MMDRV_MESSAGE_PARAMS params;
    std::memcpy(&params, pIn, sizeof params);
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_held.count(params.uMsg)) {
        m_log.Message(params.uMsg, params.dwParam1, "held");
        m_released.wait(lock, [&] { return !m_held.count(params.uMsg); });
    }
    return AnswerRecord(dwCode, params, pOut, cbOut);
}

// Decides on one well-formed record. The log line goes out before the reply, so that whoever
// holds the reply finds the message logged.
DWORD DriverState::AnswerRecord(DWORD dwCode, const MMDRV_MESSAGE_PARAMS& params, BYTE* pOut,
                                DWORD cbOut) {
    const DWORD dwMsg = params.uMsg;
    const DWORD dwParam = params.dwParam1;
    if (!Takes(dwCode, dwMsg, cbOut) || (dwMsg != AUDMSG_GET_HEADPHONE && !Store(dwMsg, dwParam))) {
        m_log.Message(dwMsg, dwParam, "refused");
        return 0;
    }
    if (dwMsg == AUDMSG_GET_HEADPHONE) {
        const DWORD dwAnswer = m_bHeadphone ? 1 : 0;
        std::memcpy(pOut, &dwAnswer, kAnswerBytes);
        m_log.Message(dwMsg, dwParam, dwAnswer ? "answered:1" : "answered:0");
    } else {
        std::memcpy(pOut, &params, sizeof params); // a set message's output is its own record
        m_log.Message(dwMsg, dwParam, "accepted");
    }
    return 1;
}

// Whether the driver takes message dwMsg now: its own control code, a message it knows, the
// output that message needs, and not refused as told. A malformed call gets a note saying why.
bool DriverState::Takes(DWORD dwCode, DWORD dwMsg, DWORD cbOut) {
    if (dwCode != IOCTL_WAV_MESSAGE) {
        m_log.Note("refused: control code 0x%08lX", dwCode);
        return false;
    }
    if (!IsDriverMessage(dwMsg))
        return false;
    const DWORD cbNeeded =
        dwMsg == AUDMSG_GET_HEADPHONE ? kAnswerBytes : sizeof(MMDRV_MESSAGE_PARAMS);
    if (cbOut != cbNeeded) {
        m_log.Note("refused: message %lu needs an output of %lu bytes, not %lu", dwMsg, cbNeeded,
                   cbOut);
        return false;
    }
    return m_refused.count(dwMsg) == 0 && !RefusedAtRandom(dwMsg);
}

// One draw per set message while a rate is set, none otherwise, so that a seed replays the same
// refusals for the same messages.
bool DriverState::RefusedAtRandom(DWORD dwMsg) {
    if (m_dwRefuseRate == 0 || !IsSetMessage(dwMsg))
        return false;
    return std::uniform_int_distribution<DWORD>(0, kAllPercent - 1)(m_random) < m_dwRefuseRate;
}

// Keeps a set message's setting; false for a band level the driver does not have.
bool DriverState::Store(DWORD dwMsg, DWORD dwParam) {
    switch (dwMsg) {
    case AUDMSG_EQ_ENABLE:
        m_dwEQEnable = dwParam ? 1 : 0;
        return true;
    case AUDMSG_AGC_ENABLE:
        m_dwAGCEnable = dwParam ? 1 : 0;
        return true;
    case AUDMSG_AGC_LEVEL:
        m_dwAGCLevel = dwParam;
        return true;
    default:
        if (dwParam > static_cast<DWORD>(kMaxBandLevel))
            return false;
        m_dwBand[dwMsg - AUDMSG_EQ_BAND_FIRST] = dwParam;
        return true;
    }
}

void DriverState::LoadStoredSettings() {
    std::lock_guard<std::mutex> lock(m_mutex);
    DWORD dwValue = 0;
    if (ReadStored(kEQEnableValue, dwValue))
        m_dwEQEnable = dwValue ? 1 : 0;
    if (ReadStored(kAGCEnableValue, dwValue))
        m_dwAGCEnable = dwValue ? 1 : 0;
    if (ReadStored(kAGCLevelValue, dwValue))
        m_dwAGCLevel = dwValue;
    for (int nBand = 0; nBand < kBandCount; ++nBand)
        if (ReadStored(kBandValues[nBand], dwValue) && dwValue <= static_cast<DWORD>(kMaxBandLevel))
            m_dwBand[nBand] = dwValue;
}

void DriverState::SetHeadphone(bool bPlugged) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bHeadphone = bPlugged;
    m_log.Note("headphone %s", bPlugged ? "on" : "off");
}

bool DriverState::Refuse(DWORD dwMsg) {
    if (!IsDriverMessage(dwMsg))
        return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_refused.insert(dwMsg);
    m_log.Note("refusing %lu", dwMsg);
    return true;
}

bool DriverState::Accept(DWORD dwMsg) {
    if (!IsDriverMessage(dwMsg))
        return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_refused.erase(dwMsg);
    m_log.Note("accepting %lu", dwMsg);
    return true;
}

bool DriverState::Hold(DWORD dwMsg) {
    if (!IsDriverMessage(dwMsg))
        return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_held.insert(dwMsg);
    m_log.Note("holding %lu", dwMsg);
    return true;
}

bool DriverState::Release(DWORD dwMsg) {
    if (!IsDriverMessage(dwMsg))
        return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_held.erase(dwMsg);
    m_released.notify_all();
    m_log.Note("releasing %lu", dwMsg);
    return true;
}

void DriverState::ReleaseAll() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_held.clear();
    m_released.notify_all();
}

void DriverState::RefuseAll() {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (DWORD dwMsg = AUDMSG_EQ_ENABLE; dwMsg <= AUDMSG_GET_HEADPHONE; ++dwMsg)
        if (IsDriverMessage(dwMsg))
            m_refused.insert(dwMsg);
    m_log.Note("refusing every message");
}

void DriverState::AcceptAll() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_refused.clear();
    m_log.Note("accepting every message");
}

bool DriverState::SetRefuseRate(DWORD dwPercent) {
    if (dwPercent > kAllPercent)
        return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_dwRefuseRate = dwPercent;
    m_log.Note("refusing %lu%% of set messages at random", dwPercent);
    return true;
}

void DriverState::Seed(DWORD dwSeed) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_random.seed(dwSeed);
}

void DriverState::PrintState() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_log.Note("headphone %s", m_bHeadphone ? "on" : "off");
    m_log.Note("equalizer %s, bands %lu %lu %lu %lu %lu", OnOff(m_dwEQEnable), m_dwBand[0],
               m_dwBand[1], m_dwBand[2], m_dwBand[3], m_dwBand[4]);
    m_log.Note("agc %s, gain %lu", OnOff(m_dwAGCEnable), m_dwAGCLevel);
    std::string strRefused;
    for (const DWORD dwMsg : m_refused)
        strRefused += " " + std::to_string(dwMsg);
    m_log.Note("refusing:%s", strRefused.empty() ? " none" : strRefused.c_str());
    m_log.Note("refusing %lu%% of set messages at random", m_dwRefuseRate);
}
