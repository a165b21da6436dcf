#include "fakes/FakeDevice.h"

#include <algorithm>
#include <chrono>
#include <cstring>

MMDRV_MESSAGE_PARAMS FakeDevice::ControlCall::Message() const {
    MMDRV_MESSAGE_PARAMS params = {};
    std::memcpy(&params, input.data(), std::min(input.size(), sizeof params));
    return params;
}

FakeDevice::FakeDevice() : m_pPrevious(platform::SetDeviceRoute(this)) {}

FakeDevice::~FakeDevice() { platform::SetDeviceRoute(m_pPrevious); }

void FakeDevice::Refuse(DWORD dwMsg) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_refused.insert(dwMsg);
}

void FakeDevice::Accept(DWORD dwMsg) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_refused.erase(dwMsg);
}

void FakeDevice::SetHeadphone(DWORD dwAnswer) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_dwHeadphone = dwAnswer;
}

void FakeDevice::HoldSends() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bHold = true;
}

void FakeDevice::ReleaseSends() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bHold = false;
    m_changed.notify_all();
}

bool FakeDevice::WaitForHeldSend(DWORD timeoutMs) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [this] { return m_nHeld > 0; });
}

bool FakeDevice::WaitForCalls(size_t nCalls, DWORD timeoutMs) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return m_calls.size() >= nCalls; });
}

std::vector<FakeDevice::OpenCall> FakeDevice::Opens() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_opens;
}

std::vector<FakeDevice::ControlCall> FakeDevice::Calls() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_calls;
}

size_t FakeDevice::CallCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_calls.size();
}

int FakeDevice::CloseCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nCloses;
}

std::vector<std::pair<DWORD, DWORD>> FakeDevice::Messages() const {
    std::vector<std::pair<DWORD, DWORD>> messages;
    for (const ControlCall& call : Calls())
        messages.emplace_back(call.Message().uMsg, call.Message().dwParam1);
    return messages;
}

std::vector<DWORD> FakeDevice::ParamsOf(DWORD dwMsg) const {
    std::vector<DWORD> params;
    for (const auto& [dwSeen, dwParam] : Messages())
        if (dwSeen == dwMsg)
            params.push_back(dwParam);
    return params;
}

HANDLE FakeDevice::Open(LPCWSTR pszName, DWORD dwAccess, DWORD dwShareMode,
                        LPSECURITY_ATTRIBUTES pSecurity, DWORD dwDisposition, DWORD dwFlags,
                        HANDLE hTemplate) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_opens.push_back({pszName ? pszName : L"", dwAccess, dwShareMode, dwDisposition, dwFlags,
                       pSecurity != nullptr, hTemplate != nullptr});
    if (m_bFailOpen)
        return INVALID_HANDLE_VALUE;
    m_bOpen = true;
    return DeviceHandle();
}

BOOL FakeDevice::Control(HANDLE hDevice, DWORD dwCode, LPVOID pIn, DWORD cbIn, LPVOID pOut,
                         DWORD cbOut, LPDWORD pcbReturned, LPOVERLAPPED pOverlapped) {
    std::unique_lock<std::mutex> lock(m_mutex);
    ControlCall call = {};
    call.dwCode = dwCode;
    if (pIn)
        call.input.assign(static_cast<BYTE*>(pIn), static_cast<BYTE*>(pIn) + cbIn);
    call.cbIn = cbIn;
    call.cbOut = cbOut;
    call.bOutputIsInput = pOut == pIn;
    if (pOut && cbOut >= sizeof(DWORD))
        std::memcpy(&call.dwOutputBefore, pOut, sizeof(DWORD));
    call.bReturnedGiven = pcbReturned != nullptr;
    call.bOverlapped = pOverlapped != nullptr;
    m_calls.push_back(call);
    m_changed.notify_all();

    ++m_nHeld;
    m_changed.notify_all();
    m_changed.wait(lock, [this] { return !m_bHold; });
    --m_nHeld;

    const MMDRV_MESSAGE_PARAMS params = call.Message();
    if (hDevice != DeviceHandle() || !m_bOpen || m_refused.count(params.uMsg))
        return FALSE;
    if (params.uMsg == AUDMSG_GET_HEADPHONE && pOut && cbOut == sizeof(DWORD))
        std::memcpy(pOut, &m_dwHeadphone, sizeof(DWORD));
    return TRUE;
}

BOOL FakeDevice::Close(HANDLE hDevice) {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_nCloses;
    if (hDevice != DeviceHandle() || !m_bOpen)
        return FALSE;
    m_bOpen = false;
    return TRUE;
}
