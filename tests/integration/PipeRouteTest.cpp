#include "fakes/RecordingDrvThread.h"
#include "harness/Contract.h"
#include "harness/StandIn.h"
#include "harness/Wait.h"
#include "platform/DeviceRoute.h"
#include "platform/WavPipe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <iterator>
#include <thread>
#include <tuple>
#include <vector>

namespace {

// A device opened through the route, closed when the test leaves.
struct OpenedDevice {
    HANDLE hDevice = platform::CreateDevice(L"WAV1:", GENERIC_READ | GENERIC_WRITE, 3, nullptr,
                                            OPEN_EXISTING, 0, nullptr);
    ~OpenedDevice() {
        if (hDevice != INVALID_HANDLE_VALUE)
            platform::CloseDevice(hDevice);
    }
};

class PipeRouteTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(standIn.WaitServing()); }

    StandIn standIn;
};

TEST_F(PipeRouteTest, EverySettingReachesTheDriverAndIsLoggedOnItsClock) {
    CAudioDrv drv;
    ASSERT_TRUE(drv.Open());
    const ULONGLONG before = ::GetTickCount64();
    EXPECT_TRUE(drv.SetEQEnable(FALSE));
    EXPECT_TRUE(drv.SetAGCEnable(FALSE));
    EXPECT_TRUE(drv.SetAGCLevel(62));
    for (int nBand = 0; nBand < kBandCount; ++nBand)
        EXPECT_TRUE(drv.SetBandLevel(nBand, 10 + nBand));
    EXPECT_EQ(drv.IsHeadphonePresent(), 1);
    ASSERT_TRUE(standIn.WaitForMessages(9));
    const ULONGLONG after = ::GetTickCount64();

    const std::vector<std::tuple<DWORD, DWORD, std::string>> expected = {
        {kEQEnableMsg, 0, "accepted"},     {kAGCEnableMsg, 0, "accepted"},
        {kAGCLevelMsg, 62, "accepted"},    {kBandMsg, 10, "accepted"},
        {kBandMsg + 1, 11, "accepted"},    {kBandMsg + 2, 12, "accepted"},
        {kBandMsg + 3, 13, "accepted"},    {kBandMsg + 4, 14, "accepted"},
        {kHeadphoneQuery, 0, "answered:1"}};
    const std::vector<LogLine> logged = standIn.Messages();
    ASSERT_EQ(logged.size(), expected.size());
    ULONGLONG previous = before;
    for (size_t n = 0; n < expected.size(); ++n) {
        EXPECT_EQ(std::make_tuple(logged[n].dwMsg, logged[n].dwParam, logged[n].strResult),
                  expected[n]);
        EXPECT_GE(logged[n].t, previous);
        EXPECT_LE(logged[n].t, after);
        previous = logged[n].t;
    }
    ASSERT_TRUE(standIn.Do("state", "# refusing"));
    ASSERT_TRUE(standIn.WaitForLine("# equalizer off, bands 10 11 12 13 14"));
    ASSERT_TRUE(standIn.WaitForLine("# agc off, gain 62"));
}

TEST_F(PipeRouteTest, RefusalFailsTheChannelAndTheWorkerPutsTheLevelBack) {
    ASSERT_TRUE(standIn.Do("refuse 116", "# refusing 116"));
    CAudioDrv drv;
    ASSERT_TRUE(drv.Open());
    EXPECT_FALSE(drv.SetBandLevel(2, 10));
    EXPECT_TRUE(drv.SetBandLevel(1, 10));

    NotificationLog log;
    RecordingDrvThread worker{log};
    ASSERT_TRUE(worker.StartWorker());
    ASSERT_TRUE(worker.SetBandLevel(2, 12));
    ASSERT_TRUE(WaitUntil([&] { return log.All().size() == 1; }));
    EXPECT_EQ(log.All()[0], (Notification{2, 8, TRUE}));
    EXPECT_EQ(worker.GetBandLevel(2), 8);

    ASSERT_TRUE(standIn.Do("accept 116", "# accepting 116"));
    ASSERT_TRUE(worker.SetBandLevel(2, 12));
    ASSERT_TRUE(WaitUntil([&] { return log.All().size() == 2; }));
    EXPECT_EQ(log.All()[1], (Notification{2, 12, FALSE}));
    const std::vector<LogLine> logged = standIn.Messages();
    ASSERT_EQ(logged.size(), 4u);
    EXPECT_EQ(logged[2].strResult, "refused");
    EXPECT_EQ(logged[3].strResult, "accepted");
}

TEST_F(PipeRouteTest, HeadphoneAnswerFollowsThePlug) {
    CAudioDrv drv;
    ASSERT_TRUE(drv.Open());
    EXPECT_EQ(drv.IsHeadphonePresent(), 1);
    ASSERT_TRUE(standIn.Do("headphone off", "# headphone off"));
    EXPECT_EQ(drv.IsHeadphonePresent(), 0);
    ASSERT_TRUE(standIn.Do("headphone on", "# headphone on"));
    EXPECT_EQ(drv.IsHeadphonePresent(), 1);
    ASSERT_TRUE(standIn.Do("refuse 123", "# refusing 123"));
    EXPECT_EQ(drv.IsHeadphonePresent(), 0) << "a refused query reads as no headphone";
}

// The application's two threads share one handle: each must get the reply to its own request.
TEST_F(PipeRouteTest, TwoThreadsOnOneHandleEachGetTheirOwnAnswers) {
    constexpr int kSends = 1000;
    ASSERT_TRUE(standIn.Do("refuse 113", "# refusing 113"));
    CAudioDrv drv;
    ASSERT_TRUE(drv.Open());
    std::atomic<int> nWrongA{0};
    std::atomic<int> nWrongB{0};
    std::thread threadA([&] {
        for (int n = 0; n < kSends; ++n)
            nWrongA += drv.SetAGCLevel(40) ? 1 : 0;
    });
    std::thread threadB([&] {
        for (int n = 0; n < kSends / 2; ++n) {
            nWrongB += drv.SetBandLevel(0, n % 16) ? 0 : 1;
            nWrongB += drv.IsHeadphonePresent() == 1 ? 0 : 1;
        }
    });
    threadA.join();
    threadB.join();
    EXPECT_EQ(nWrongA, 0) << "113 is refused: a success answered someone else's request";
    EXPECT_EQ(nWrongB, 0);

    ASSERT_TRUE(standIn.WaitForMessages(2 * kSends));
    int nRefused = 0;
    for (const LogLine& line : standIn.Messages())
        nRefused += line.dwMsg == kAGCLevelMsg && line.strResult == "refused";
    EXPECT_EQ(nRefused, kSends);
}

// A driver that stops answering (a debugger, a hang) costs one bounded wait: while it stays
// silent every later call fails at once, and once it answers again so does the next call. The
// request it left unanswered is never sent again, nor are those refused meanwhile.
TEST_F(PipeRouteTest, SilentDriverStallsOneCallAndIsFoundWhenItAnswersAgain) {
    constexpr ULONGLONG kOneReplyBoundMs = 2000; // the route's wait for one reply
    CAudioDrv drv;
    ASSERT_TRUE(drv.Open());
    ASSERT_EQ(drv.IsHeadphonePresent(), 1);
    ASSERT_TRUE(standIn.Pause());
    EXPECT_FALSE(drv.SetEQEnable(FALSE)) << "no reply within the bound";
    const ULONGLONG start = ::GetTickCount64();
    for (int nBand = 0; nBand < kBandCount; ++nBand) {
        EXPECT_FALSE(drv.IsHeadphonePresent());
        EXPECT_FALSE(drv.SetBandLevel(nBand, 3));
    }
    EXPECT_LT(::GetTickCount64() - start, kOneReplyBoundMs) << "ten calls waited for none";

    ASSERT_TRUE(standIn.Resume());
    EXPECT_TRUE(WaitUntil([&] { return drv.IsHeadphonePresent() == 1; }));
    EXPECT_TRUE(drv.SetAGCEnable(FALSE));
    ASSERT_TRUE(standIn.WaitForMessages(4));
    std::vector<DWORD> sent;
    for (const LogLine& line : standIn.Messages())
        sent.push_back(line.dwMsg);
    EXPECT_EQ(sent,
              (std::vector<DWORD>{kHeadphoneQuery, kEQEnableMsg, kHeadphoneQuery, kAGCEnableMsg}));
}

TEST_F(PipeRouteTest, OnlyWav1OpensAndABusyPipeIsWaitedForBriefly) {
    EXPECT_EQ(platform::CreateDevice(L"WAV2:", GENERIC_READ | GENERIC_WRITE, 3, nullptr,
                                     OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    std::vector<std::unique_ptr<OpenedDevice>> devices;
    for (int n = 0; n < 8; ++n) {
        devices.push_back(std::make_unique<OpenedDevice>());
        ASSERT_NE(devices.back()->hDevice, INVALID_HANDLE_VALUE) << "instance " << n;
    }
    EXPECT_EQ(OpenedDevice().hDevice, INVALID_HANDLE_VALUE) << "every instance is taken";
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_PIPE_BUSY));

    devices.erase(devices.begin());
    const OpenedDevice again; // the freed instance listens again
    ASSERT_NE(again.hDevice, INVALID_HANDLE_VALUE);
    DWORD dwAnswer = 0;
    MMDRV_MESSAGE_PARAMS params = {0, AUDMSG_GET_HEADPHONE, 0, 0, 0};
    DWORD cbReturned = 0;
    EXPECT_TRUE(platform::ControlDevice(again.hDevice, IOCTL_WAV_MESSAGE, &params, sizeof params,
                                        &dwAnswer, sizeof dwAnswer, &cbReturned, nullptr));
    EXPECT_EQ(dwAnswer, 1u);
    EXPECT_EQ(cbReturned, 4u);
}

TEST(PipeRouteWithoutStandInTest, OpeningFailsWhileNoStandInRuns) {
    CAudioDrv drv;
    EXPECT_FALSE(drv.Open());
    EXPECT_FALSE(drv.SetEQEnable(FALSE));
}

TEST(PipeRouteWithoutStandInTest, StandInThatDiedFailsEveryCallUntilOneServesAgain) {
    CAudioDrv drv;
    {
        StandIn standIn;
        ASSERT_TRUE(standIn.WaitServing());
        ASSERT_TRUE(drv.Open());
        EXPECT_TRUE(drv.SetEQEnable(FALSE));
        standIn.Kill();
        EXPECT_FALSE(drv.SetAGCEnable(FALSE));
        EXPECT_FALSE(drv.IsHeadphonePresent());
        EXPECT_FALSE(drv.SetAGCLevel(40));
    }
    {
        StandIn again;
        ASSERT_TRUE(again.WaitServing());
        EXPECT_TRUE(drv.IsHeadphonePresent()) << "the next call opens the pipe again";
        EXPECT_TRUE(drv.SetAGCEnable(FALSE));
        again.Kill();
    }
    // Ended and started again between two calls: the request never crossed the broken pipe of
    // the old one, so it goes once, on a fresh connection.
    StandIn third;
    ASSERT_TRUE(third.WaitServing());
    EXPECT_TRUE(drv.SetAGCEnable(TRUE));
    EXPECT_TRUE(drv.IsHeadphonePresent());
    ASSERT_TRUE(third.WaitForMessages(2));
    const std::vector<LogLine> logged = third.Messages();
    ASSERT_EQ(logged.size(), 2u);
    EXPECT_EQ(std::make_pair(logged[0].dwMsg, logged[0].dwParam),
              std::make_pair(kAGCEnableMsg, 1ul));
    EXPECT_EQ(logged[1].dwMsg, kHeadphoneQuery);
    EXPECT_TRUE(drv.Close());
}

// A driver on the pipe that answers every request with cbReply bytes (result 1), or never
// answers when cbReply is negative. Serves one client.
class MisbehavingDriver {
public:
    explicit MisbehavingDriver(int cbReply)
        : m_hPipe(::CreateNamedPipeW(platform::wav_pipe::kPipeName, PIPE_ACCESS_DUPLEX,
                                     PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE, 1, 4096, 4096, 0,
                                     nullptr)),
          m_hDone(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          m_server([this, cbReply] { Serve(cbReply); }) {}
    // The client has closed by now, which ends the server's read.
    ~MisbehavingDriver() {
        ::SetEvent(m_hDone.Get());
        m_server.join();
    }

private:
    void Serve(int cbReply) {
        if (!::ConnectNamedPipe(m_hPipe.Get(), nullptr) && ::GetLastError() != ERROR_PIPE_CONNECTED)
            return;
        BYTE buffer[128] = {1};
        DWORD cbDone = 0;
        while (::ReadFile(m_hPipe.Get(), buffer, sizeof buffer, &cbDone, nullptr)) {
            if (cbReply < 0) {
                ::WaitForSingleObject(m_hDone.Get(), INFINITE);
                return;
            }
            buffer[0] = 1;
            ::WriteFile(m_hPipe.Get(), buffer, static_cast<DWORD>(cbReply), &cbDone, nullptr);
        }
    }

    platform::UniqueHandle m_hPipe;
    platform::UniqueHandle m_hDone;
    std::thread m_server;
};

TEST(PipeRouteWithoutStandInTest, ReplyOfTheWrongSizeFailsTheCall) {
    for (const auto& [cbReply, bExpected] :
         {std::make_pair(24, TRUE), std::make_pair(7, FALSE), std::make_pair(25, FALSE)}) {
        MisbehavingDriver driver(cbReply);
        CAudioDrv drv;
        ASSERT_TRUE(drv.Open());
        EXPECT_EQ(drv.SetEQEnable(!drv.m_bEQEnable), bExpected) << cbReply << " bytes";
        EXPECT_TRUE(drv.Close());
    }
}

// At the largest output the route takes, a reply a byte longer than the largest fails as well,
// and the output is left as it was.
TEST(PipeRouteWithoutStandInTest, ReplyLongerThanTheLargestFailsTheCall) {
    constexpr DWORD cbLargest =
        platform::wav_pipe::kWordBytes + platform::wav_pipe::kMaxOutputBytes;
    for (const auto& [cbReply, bExpected] :
         {std::make_pair(cbLargest, TRUE), std::make_pair(cbLargest + 1, FALSE),
          std::make_pair(cbLargest + 60, FALSE)}) {
        MisbehavingDriver driver(static_cast<int>(cbReply));
        const OpenedDevice device;
        ASSERT_NE(device.hDevice, INVALID_HANDLE_VALUE);
        MMDRV_MESSAGE_PARAMS params = {};
        BYTE output[platform::wav_pipe::kMaxOutputBytes];
        std::fill(std::begin(output), std::end(output), BYTE{0xBD});
        EXPECT_EQ(platform::ControlDevice(device.hDevice, IOCTL_WAV_MESSAGE, &params, sizeof params,
                                          output, sizeof output, nullptr, nullptr),
                  bExpected)
            << cbReply << " bytes";
        if (!bExpected) {
            EXPECT_EQ(output[0], 0xBD) << "untouched";
        }
    }
}

TEST(PipeRouteWithoutStandInTest, DriverThatNeverAnswersFailsTheCallInTime) {
    MisbehavingDriver driver(-1);
    CAudioDrv drv;
    ASSERT_TRUE(drv.Open());
    EXPECT_FALSE(drv.SetEQEnable(FALSE)); // returns at all: the wait is bounded
    EXPECT_FALSE(drv.IsHeadphonePresent()) << "a reply still owed would answer this query";
    EXPECT_TRUE(drv.Close());
}

} // namespace
