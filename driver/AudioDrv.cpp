#include "driver/AudioDrv.h"

#include "platform/DeviceRoute.h"

namespace {

MMDRV_MESSAGE_PARAMS MakeMessage(DWORD dwMsg, DWORD dwParam) {
    MMDRV_MESSAGE_PARAMS params = {};
    params.uMsg = dwMsg;
    params.dwParam1 = dwParam;
    return params;
}

} // namespace

CAudioDrv::~CAudioDrv() { CloseDevice(); }

BOOL CAudioDrv::Open() {
    const HANDLE hDevice = platform::CreateDevice(kAudioDeviceName, GENERIC_READ | GENERIC_WRITE,
                                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                  OPEN_EXISTING, 0, nullptr);
    if (hDevice == INVALID_HANDLE_VALUE) {
        m_hDevice = nullptr;
        return FALSE;
    }
    m_hDevice = hDevice;
    return TRUE;
}

BOOL CAudioDrv::Close() { return CloseDevice(); }

// The close steps of this class, shared by Close and the destructor.
BOOL CAudioDrv::CloseDevice() {
    const HANDLE hDevice = m_hDevice.exchange(nullptr);
    if (!hDevice)
        return FALSE;
    return platform::CloseDevice(hDevice);
}

BOOL CAudioDrv::SendDriverMessage(DWORD dwMsg, DWORD dwParam) {
    const HANDLE hDevice = m_hDevice;
    if (!hDevice)
        return FALSE;
    MMDRV_MESSAGE_PARAMS params = MakeMessage(dwMsg, dwParam);
    DWORD cbReturned = 0;
    return platform::ControlDevice(hDevice, IOCTL_WAV_MESSAGE, &params, sizeof params, &params,
                                   sizeof params, &cbReturned, nullptr)
               ? TRUE
               : FALSE;
}

BOOL CAudioDrv::IsHeadphonePresent() {
    const HANDLE hDevice = m_hDevice;
    if (!hDevice)
        return FALSE;
    MMDRV_MESSAGE_PARAMS params = MakeMessage(AUDMSG_GET_HEADPHONE, 0);
    DWORD dwAnswer = 0;
    DWORD cbReturned = 0;
    if (!platform::ControlDevice(hDevice, IOCTL_WAV_MESSAGE, &params, sizeof params, &dwAnswer,
                                 sizeof dwAnswer, &cbReturned, nullptr))
        return FALSE;
    return static_cast<BOOL>(dwAnswer);
}

BOOL CAudioDrv::SetEQEnable(BOOL bEnable) {
    if (bEnable == m_bEQEnable)
        return TRUE;
    m_bEQEnable = bEnable;
    return SendDriverMessage(AUDMSG_EQ_ENABLE, static_cast<DWORD>(bEnable));
}

BOOL CAudioDrv::SetAGCEnable(BOOL bEnable) {
    if (bEnable == m_bAGCEnable)
        return TRUE;
    m_bAGCEnable = bEnable;
    return SendDriverMessage(AUDMSG_AGC_ENABLE, static_cast<DWORD>(bEnable));
}

BOOL CAudioDrv::SetBandLevel(int nBand, int nLevel) {
    // Any other band would form the number of an unrelated message.
    if (!IsValidBand(nBand))
        return FALSE;
    return SendDriverMessage(AUDMSG_EQ_BAND_FIRST + static_cast<DWORD>(nBand),
                             static_cast<DWORD>(nLevel));
}

BOOL CAudioDrv::SetAGCLevel(int nLevel) {
    return SendDriverMessage(AUDMSG_AGC_LEVEL, static_cast<DWORD>(nLevel));
}
