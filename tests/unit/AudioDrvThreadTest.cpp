#include "driver/AudioDrvThread.h"
#include "fakes/FakeDevice.h"
#include "fakes/RecordingDrvThread.h"
#include "harness/Contract.h"
#include "harness/Wait.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

using Messages = std::vector<std::pair<DWORD, DWORD>>;

class AudioDrvThreadTest : public ::testing::Test {
protected:
    // A change of band 4 that the test waits for: every pass before it has then ended.
    void SendMarker(int nLevel = 1) {
        const size_t nBefore = log.All().size();
        ASSERT_TRUE(drv.SetBandLevel(4, nLevel));
        ASSERT_TRUE(log.WaitFor(nBefore + 1));
    }

    FakeDevice device;
    NotificationLog log;
    RecordingDrvThread drv{log};
};

TEST_F(AudioDrvThreadTest, SettersRefuseUntilTheWorkerHasItsEvent) {
    for (int nBand = 0; nBand < kBandCount; ++nBand)
        EXPECT_EQ(drv.GetBandLevel(nBand), 8);
    EXPECT_EQ(drv.GetAGCLevel(), 48);
    EXPECT_FALSE(drv.SetBandLevel(0, 3));
    EXPECT_FALSE(drv.SetAGCLevel(40));
    EXPECT_FALSE(drv.Kick());

    drv.HoldStart();
    ASSERT_TRUE(drv.Open());
    EXPECT_FALSE(drv.SetBandLevel(0, 3)) << "the worker has not made its event yet";
    EXPECT_EQ(drv.GetBandLevel(0), 8);

    drv.ReleaseStart();
    ASSERT_TRUE(WaitUntil([&] { return drv.WorkerRunning(); }));
    EXPECT_TRUE(drv.SetBandLevel(0, 3));
    EXPECT_TRUE(drv.SetBandLevel(0, 3)) << "unchanged, still accepted";
    EXPECT_FALSE(drv.SetBandLevel(5, 3));
    ASSERT_TRUE(log.WaitFor(1));
    EXPECT_EQ(device.Messages(), (Messages{{kBandMsg, 3}}));
}

TEST_F(AudioDrvThreadTest, NoWorkerWithoutADevice) {
    device.FailOpen();
    EXPECT_FALSE(drv.Open());
    EXPECT_FALSE(drv.WorkerRunning());
    EXPECT_FALSE(drv.SetAGCLevel(40));
}

TEST_F(AudioDrvThreadTest, LevelsStandingAtStartCountAsApplied) {
    drv.PresetBand(2, 12);
    ASSERT_TRUE(drv.StartWorker());
    EXPECT_TRUE(drv.Kick());
    SendMarker();
    EXPECT_EQ(device.Messages(), (Messages{{kBandMsg + 4, 1}}));
    EXPECT_EQ(log.All(), (std::vector<Notification>{{4, 1, FALSE}}));
}

TEST_F(AudioDrvThreadTest, BurstBecomesOneMessagePerSettingWithItsLatestLevel) {
    ASSERT_TRUE(drv.StartWorker());
    device.HoldSends();
    ASSERT_TRUE(drv.SetAGCLevel(40));
    ASSERT_TRUE(device.WaitForHeldSend());
    // The pass is under way and has not read the bands yet.
    for (int nLevel : {3, 4, 5})
        ASSERT_TRUE(drv.SetBandLevel(0, nLevel));
    ASSERT_TRUE(drv.SetBandLevel(2, 10));
    ASSERT_TRUE(drv.SetBandLevel(2, 8));
    device.ReleaseSends();

    SendMarker();
    EXPECT_EQ(device.Messages(), (Messages{{kAGCLevelMsg, 40}, {kBandMsg, 5}, {kBandMsg + 4, 1}}));
    EXPECT_EQ(log.All(),
              (std::vector<Notification>{{kAGC, 40, FALSE}, {0, 5, FALSE}, {4, 1, FALSE}}));
}

TEST_F(AudioDrvThreadTest, GainGoesBeforeTheBands) {
    ASSERT_TRUE(drv.StartWorker());
    device.HoldSends();
    ASSERT_TRUE(drv.SetBandLevel(4, 2));
    ASSERT_TRUE(device.WaitForHeldSend());
    // Both change while the previous pass sends band 4: the next pass takes them together.
    ASSERT_TRUE(drv.SetBandLevel(4, 6));
    ASSERT_TRUE(drv.SetBandLevel(1, 9));
    ASSERT_TRUE(drv.SetAGCLevel(62));
    device.ReleaseSends();

    ASSERT_TRUE(log.WaitFor(4));
    EXPECT_EQ(
        device.Messages(),
        (Messages{{kBandMsg + 4, 2}, {kAGCLevelMsg, 62}, {kBandMsg + 1, 9}, {kBandMsg + 4, 6}}));
}

TEST_F(AudioDrvThreadTest, RefusedLevelsArePutBackAndNotRetried) {
    ASSERT_TRUE(drv.StartWorker());
    device.Refuse(AUDMSG_EQ_BAND_FIRST + 2);
    device.Refuse(AUDMSG_AGC_LEVEL);
    ASSERT_TRUE(drv.SetBandLevel(2, 10));
    ASSERT_TRUE(drv.SetAGCLevel(69));
    ASSERT_TRUE(log.WaitFor(2));
    EXPECT_EQ(drv.GetBandLevel(2), 8);
    EXPECT_EQ(drv.GetAGCLevel(), 48);
    SendMarker();
    EXPECT_EQ(device.Messages(),
              (Messages{{kAGCLevelMsg, 69}, {kBandMsg + 2, 10}, {kBandMsg + 4, 1}}));
    EXPECT_EQ(log.All(),
              (std::vector<Notification>{{kAGC, 48, TRUE}, {2, 8, TRUE}, {4, 1, FALSE}}));

    // The same level asked for again is a change again.
    device.Accept(AUDMSG_EQ_BAND_FIRST + 2);
    ASSERT_TRUE(drv.SetBandLevel(2, 10));
    ASSERT_TRUE(log.WaitFor(4));
    EXPECT_EQ(log.All().back(), (Notification{2, 10, FALSE}));
    EXPECT_EQ(drv.GetBandLevel(2), 10);
}

TEST_F(AudioDrvThreadTest, LevelStoredDuringARefusedSendSurvivesIt) {
    ASSERT_TRUE(drv.StartWorker());
    device.Refuse(AUDMSG_EQ_BAND_FIRST + 2);
    device.HoldSends();
    ASSERT_TRUE(drv.SetBandLevel(2, 10));
    ASSERT_TRUE(device.WaitForHeldSend());
    ASSERT_TRUE(drv.SetBandLevel(2, 11));
    device.ReleaseSends();

    ASSERT_TRUE(log.WaitFor(2));
    EXPECT_EQ(device.ParamsOf(kBandMsg + 2), (std::vector<DWORD>{10, 11}));
    EXPECT_EQ(log.All(), (std::vector<Notification>{{2, 8, TRUE}, {2, 8, TRUE}}));
    EXPECT_EQ(drv.GetBandLevel(2), 8);
}

TEST_F(AudioDrvThreadTest, KickWithoutAChangeSendsNothing) {
    ASSERT_TRUE(drv.StartWorker());
    EXPECT_TRUE(drv.Kick());
    EXPECT_TRUE(drv.Kick());
    SendMarker();
    EXPECT_EQ(device.Messages(), (Messages{{kBandMsg + 4, 1}}));
    EXPECT_EQ(log.All().size(), 1u);
}

TEST_F(AudioDrvThreadTest, WakeOnAClosedDeviceEndsTheWorker) {
    ASSERT_TRUE(drv.StartWorker());
    ASSERT_TRUE(drv.CloseDeviceOnly());
    EXPECT_TRUE(drv.SetBandLevel(1, 3)) << "the event still exists";
    ASSERT_TRUE(WaitUntil([&] { return !drv.WorkerRunning(); }));
    EXPECT_FALSE(drv.SetBandLevel(1, 4));
    EXPECT_EQ(drv.GetBandLevel(1), 3) << "stored, never sent";
    EXPECT_EQ(device.CallCount(), 0u);
    EXPECT_TRUE(log.All().empty());
}

TEST_F(AudioDrvThreadTest, CloseEndsTheWorkerAndClosesTheDevice) {
    ASSERT_TRUE(drv.StartWorker());
    EXPECT_TRUE(drv.Close());
    EXPECT_FALSE(drv.WorkerRunning());
    EXPECT_FALSE(drv.SetAGCLevel(40));
    EXPECT_FALSE(drv.Close());
    EXPECT_EQ(device.CloseCount(), 1);
    EXPECT_EQ(device.CallCount(), 0u) << "ending the worker makes no further pass";
}

// Ending waits for the send under way and no longer: the rest of its pass is never sent, and
// nothing is reported once the end has begun, since a settings object would write it.
TEST_F(AudioDrvThreadTest, DestructionWaitsForTheSendUnderWayOnly) {
    auto* pDrv = new RecordingDrvThread(log);
    ASSERT_TRUE(pDrv->StartWorker());
    device.HoldSends();
    ASSERT_TRUE(pDrv->SetBandLevel(3, 12));
    ASSERT_TRUE(device.WaitForHeldSend());
    ASSERT_TRUE(pDrv->SetBandLevel(4, 2)); // the pass under way comes to band 4 next

    std::atomic<bool> bDestroyed{false};
    std::thread destroyer([&] {
        delete pDrv;
        bDestroyed = true;
    });
    // The worker's event is taken once the end has begun; the object lives until the send ends.
    EXPECT_TRUE(WaitUntil([&] { return !pDrv->WorkerRunning(); }));
    EXPECT_FALSE(bDestroyed);
    device.ReleaseSends();
    destroyer.join();

    EXPECT_EQ(device.Messages(), (Messages{{kBandMsg + 3, 12}})) << "band 4 was never sent";
    EXPECT_TRUE(log.All().empty()) << "nothing reported after the end began";
    EXPECT_EQ(device.CloseCount(), 1);
}

} // namespace
