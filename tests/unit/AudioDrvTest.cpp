#include "driver/AudioDrv.h"
#include "fakes/FakeDevice.h"
#include "harness/Contract.h"

#include <gtest/gtest.h>

namespace {

class TestDrv : public CAudioDrv {
public:
    HANDLE Device() const { return m_hDevice; }
};

class AudioDrvTest : public ::testing::Test {
protected:
    void ExpectMessage(size_t nCall, DWORD dwMsg, DWORD dwParam) const {
        const auto calls = device.Calls();
        ASSERT_LT(nCall, calls.size());
        const FakeDevice::ControlCall& call = calls[nCall];
        EXPECT_EQ(call.dwCode, kWavMessageCode);
        EXPECT_EQ(call.cbIn, 20u);
        EXPECT_EQ(call.cbOut, 20u);
        EXPECT_TRUE(call.bOutputIsInput);
        EXPECT_TRUE(call.bReturnedGiven);
        EXPECT_FALSE(call.bOverlapped);
        const MMDRV_MESSAGE_PARAMS params = call.Message();
        EXPECT_EQ(params.uDeviceId, 0u);
        EXPECT_EQ(params.uMsg, dwMsg);
        EXPECT_EQ(params.dwUser, 0u);
        EXPECT_EQ(params.dwParam1, dwParam);
        EXPECT_EQ(params.dwParam2, 0u);
    }

    FakeDevice device;
    TestDrv drv;
};

TEST_F(AudioDrvTest, OpensWav1WithTheDriverAccessAndSharing) {
    ASSERT_TRUE(drv.Open());
    const auto opens = device.Opens();
    ASSERT_EQ(opens.size(), 1u);
    EXPECT_EQ(opens[0].strName, L"WAV1:");
    EXPECT_EQ(opens[0].dwAccess, 0xC0000000u);
    EXPECT_EQ(opens[0].dwShareMode, 3u);
    EXPECT_EQ(opens[0].dwDisposition, 3u);
    EXPECT_EQ(opens[0].dwFlags, 0u);
    EXPECT_FALSE(opens[0].bSecurity);
    EXPECT_FALSE(opens[0].bTemplate);
    EXPECT_EQ(drv.Device(), FakeDevice::DeviceHandle());

    EXPECT_TRUE(drv.Close());
    EXPECT_EQ(drv.Device(), nullptr);
    EXPECT_FALSE(drv.Close()) << "a second close has nothing to close";
    EXPECT_EQ(device.CloseCount(), 1);
}

TEST_F(AudioDrvTest, FailedOpenLeavesNoHandle) {
    device.FailOpen();
    EXPECT_FALSE(drv.Open());
    EXPECT_EQ(drv.Device(), nullptr);
    EXPECT_FALSE(drv.Close());
    EXPECT_EQ(device.CloseCount(), 0);
}

TEST_F(AudioDrvTest, ClosedDeviceRefusesEveryMessageWithoutACall) {
    EXPECT_FALSE(drv.SendDriverMessage(AUDMSG_AGC_LEVEL, 40));
    EXPECT_FALSE(drv.SetBandLevel(0, 3));
    EXPECT_FALSE(drv.SetAGCLevel(40));
    EXPECT_FALSE(drv.IsHeadphonePresent());
    EXPECT_FALSE(drv.SetEQEnable(FALSE));
    EXPECT_EQ(drv.m_bEQEnable, FALSE) << "the request is recorded even though it failed";
    EXPECT_EQ(device.CallCount(), 0u);
}

TEST_F(AudioDrvTest, EachSettingTravelsAsOneRecord) {
    ASSERT_TRUE(drv.Open());
    EXPECT_TRUE(drv.SetEQEnable(FALSE));
    EXPECT_TRUE(drv.SetAGCEnable(FALSE));
    EXPECT_TRUE(drv.SetAGCLevel(69));
    for (int nBand = 0; nBand < kBandCount; ++nBand)
        EXPECT_TRUE(drv.SetBandLevel(nBand, 10 + nBand));

    ASSERT_EQ(device.CallCount(), 8u);
    ExpectMessage(0, kEQEnableMsg, 0);
    ExpectMessage(1, kAGCEnableMsg, 0);
    ExpectMessage(2, kAGCLevelMsg, 69);
    for (int nBand = 0; nBand < kBandCount; ++nBand)
        ExpectMessage(3 + nBand, kBandMsg + nBand, 10 + nBand);
}

TEST_F(AudioDrvTest, UnchangedSwitchSendsNothingOpenOrClosed) {
    EXPECT_TRUE(drv.SetEQEnable(TRUE));
    EXPECT_TRUE(drv.SetAGCEnable(TRUE));
    ASSERT_TRUE(drv.Open());
    EXPECT_TRUE(drv.SetEQEnable(TRUE));
    EXPECT_TRUE(drv.SetAGCEnable(TRUE));
    EXPECT_EQ(device.CallCount(), 0u);
}

TEST_F(AudioDrvTest, RefusedSwitchKeepsTheRequestedState) {
    ASSERT_TRUE(drv.Open());
    device.Refuse(AUDMSG_AGC_ENABLE);
    EXPECT_FALSE(drv.SetAGCEnable(FALSE));
    EXPECT_EQ(drv.m_bAGCEnable, FALSE);
    EXPECT_TRUE(drv.SetAGCEnable(FALSE)) << "repeating the request sends nothing";
    EXPECT_EQ(device.CallCount(), 1u);

    device.Accept(AUDMSG_AGC_ENABLE);
    EXPECT_TRUE(drv.SetAGCEnable(TRUE));
    ASSERT_EQ(device.CallCount(), 2u);
    ExpectMessage(1, kAGCEnableMsg, 1);
}

TEST_F(AudioDrvTest, HeadphoneQueryUsesASeparateAnswerWord) {
    ASSERT_TRUE(drv.Open());
    device.SetHeadphone(7);
    EXPECT_EQ(drv.IsHeadphonePresent(), 7) << "the answer comes back unchanged";

    const auto call = device.Calls().at(0);
    EXPECT_EQ(call.dwCode, kWavMessageCode);
    EXPECT_EQ(call.cbIn, 20u);
    EXPECT_EQ(call.cbOut, 4u);
    EXPECT_FALSE(call.bOutputIsInput);
    EXPECT_EQ(call.dwOutputBefore, 0u);
    EXPECT_TRUE(call.bReturnedGiven);
    EXPECT_FALSE(call.bOverlapped);
    const MMDRV_MESSAGE_PARAMS params = call.Message();
    EXPECT_EQ(params.uMsg, kHeadphoneQuery);
    EXPECT_EQ(params.uDeviceId + params.dwUser + params.dwParam1 + params.dwParam2, 0u);

    device.SetHeadphone(0);
    EXPECT_FALSE(drv.IsHeadphonePresent());
    device.SetHeadphone(1);
    device.Refuse(AUDMSG_GET_HEADPHONE);
    EXPECT_FALSE(drv.IsHeadphonePresent()) << "a failed query reads as no headphone";
}

TEST_F(AudioDrvTest, BandOutsideTheFiveSendsNothing) {
    ASSERT_TRUE(drv.Open());
    EXPECT_FALSE(drv.SetBandLevel(-1, 3)) << "would otherwise form the gain message 113";
    EXPECT_FALSE(drv.SetBandLevel(5, 3));
    EXPECT_EQ(device.CallCount(), 0u);
}

} // namespace
