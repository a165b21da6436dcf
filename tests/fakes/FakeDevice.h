#pragma once

#include "driver/AudioDrv.h"
#include "platform/DeviceRoute.h"

#include <condition_variable>
#include <mutex>
#include <set>
#include <string>
#include <vector>

// An in-process audio driver behind the device route: it sees every call with its arguments and
// bytes, answers or refuses each message, and can hold sends so that a test acts mid-send.
// Installs itself as the route for its lifetime.
class FakeDevice final : public platform::DeviceRoute {
public:
    struct OpenCall {
        std::wstring strName;
        DWORD dwAccess, dwShareMode, dwDisposition, dwFlags;
        bool bSecurity, bTemplate;
    };
    struct ControlCall {
        DWORD dwCode;
        std::vector<BYTE> input; // bytes of the input buffer as they arrived
        DWORD cbIn, cbOut;
        bool bOutputIsInput;  // the output buffer is the input record itself
        DWORD dwOutputBefore; // first output word as the caller left it
        bool bReturnedGiven, bOverlapped;
        MMDRV_MESSAGE_PARAMS Message() const;
    };

    FakeDevice();
    ~FakeDevice() override;

    void FailOpen() { m_bFailOpen = true; }
    void Refuse(DWORD dwMsg);
    void Accept(DWORD dwMsg);
    void SetHeadphone(DWORD dwAnswer);
    void HoldSends();    // from now on each message waits for ReleaseSends
    void ReleaseSends(); // lets held and later messages through
    bool WaitForHeldSend(DWORD timeoutMs = 10000);
    bool WaitForCalls(size_t nCalls, DWORD timeoutMs = 10000);

    std::vector<OpenCall> Opens() const;
    std::vector<ControlCall> Calls() const;
    size_t CallCount() const;
    int CloseCount() const;
    // (message, dwParam1) of every control call, in arrival order.
    std::vector<std::pair<DWORD, DWORD>> Messages() const;
    std::vector<DWORD> ParamsOf(DWORD dwMsg) const;

    static HANDLE DeviceHandle() { return reinterpret_cast<HANDLE>(0x5A5A0); }

    HANDLE Open(LPCWSTR pszName, DWORD dwAccess, DWORD dwShareMode, LPSECURITY_ATTRIBUTES pSecurity,
                DWORD dwDisposition, DWORD dwFlags, HANDLE hTemplate) override;
    BOOL Control(HANDLE hDevice, DWORD dwCode, LPVOID pIn, DWORD cbIn, LPVOID pOut, DWORD cbOut,
                 LPDWORD pcbReturned, LPOVERLAPPED pOverlapped) override;
    BOOL Close(HANDLE hDevice) override;

private:
    platform::DeviceRoute* m_pPrevious;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_bFailOpen = false;
    bool m_bOpen = false;
    bool m_bHold = false;
    int m_nHeld = 0;
    int m_nCloses = 0;
    DWORD m_dwHeadphone = 1;
    std::set<DWORD> m_refused;
    std::vector<OpenCall> m_opens;
    std::vector<ControlCall> m_calls;
};
