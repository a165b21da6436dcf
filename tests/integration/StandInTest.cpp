#include "driver/AudioDrv.h"
#include "harness/StandIn.h"
#include "platform/DeviceRoute.h"
#include "platform/Handle.h"
#include "platform/WavPipe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <tuple>
#include <vector>

namespace {

constexpr DWORD kSentinel = 0xDEADBEEF;

size_t CountLines(const StandIn& standIn, const std::string& strStart) {
    const std::vector<std::string> lines = standIn.Lines();
    return std::count_if(lines.begin(), lines.end(), [&](const std::string& strLine) {
        return strLine.compare(0, strStart.size(), strStart) == 0;
    });
}

TEST(StandInOptionsTest, BadOptionGetsTheUsageAndExitCode2) {
    for (const wchar_t* pszOptions :
         {L"--headphone=maybe", L"--refuse=abc", L"--refuse=113,", L"--refuse=5", L"--verbose",
          L"--refuse-rate=101", L"--refuse-rate=", L"--seed=x"}) {
        StandIn standIn(pszOptions);
        DWORD dwExitCode = 0;
        ASSERT_TRUE(standIn.WaitForExit(dwExitCode));
        EXPECT_EQ(dwExitCode, 2u);
        EXPECT_TRUE(standIn.WaitForLine("usage: wav1-standin"));
    }
}

TEST(StandInOptionsTest, OptionsSetTheStartStateOfTheOnlyStandIn) {
    StandIn standIn(L"--headphone=off --refuse=116,113");
    ASSERT_TRUE(standIn.WaitServing());
    StandIn second;
    DWORD dwExitCode = 0;
    ASSERT_TRUE(second.WaitForExit(dwExitCode));
    EXPECT_EQ(dwExitCode, 1u) << "one stand-in serves the pipe";
    EXPECT_TRUE(second.WaitForLine("# error: cannot serve the pipe"));
    ASSERT_TRUE(standIn.Do("state", "# headphone off"));
    ASSERT_TRUE(standIn.WaitForLine("# refusing: 113 116"));
    CAudioDrv drv;
    ASSERT_TRUE(drv.Open());
    EXPECT_EQ(drv.IsHeadphonePresent(), 0);
    EXPECT_FALSE(drv.SetAGCLevel(40));
    EXPECT_TRUE(drv.SetBandLevel(1, 3));
}

TEST(StandInCommandsTest, CommandsChangeTheStateAndBadOnesAreReported) {
    StandIn standIn;
    ASSERT_TRUE(standIn.WaitServing());
    for (const char* pszBad : {"bogus", "refuse 5", "refuse", "headphone", "headphone up x"})
        EXPECT_TRUE(standIn.Do(pszBad, "# error: ")) << pszBad;

    CAudioDrv drv;
    ASSERT_TRUE(drv.Open());
    ASSERT_TRUE(standIn.Do("refuse all", "# refusing every message"));
    EXPECT_FALSE(drv.SetBandLevel(4, 1));
    EXPECT_FALSE(drv.SetEQEnable(FALSE));
    EXPECT_EQ(drv.IsHeadphonePresent(), 0);
    ASSERT_TRUE(standIn.Do("accept 118", "# accepting 118"));
    EXPECT_TRUE(drv.SetBandLevel(4, 1));
    ASSERT_TRUE(standIn.Do("state", "# refusing: 111 112 113 114 115 116 117 123"));
    ASSERT_TRUE(standIn.Do("accept all", "# accepting every message"));
    EXPECT_TRUE(drv.SetAGCEnable(FALSE));
    EXPECT_EQ(drv.IsHeadphonePresent(), 1);
    ASSERT_TRUE(standIn.Do("state", "# refusing: none"));
}

// The results of 60 set messages and a headphone query under a random refuse rate.
std::string RefusalPattern(const wchar_t* pszOptions) {
    StandIn standIn(pszOptions);
    CAudioDrv drv;
    if (!standIn.WaitServing() || !drv.Open())
        return "no stand-in";
    std::string strPattern;
    for (int nSend = 0; nSend < 60; ++nSend)
        strPattern += drv.SetBandLevel(nSend % 5, nSend % 16) ? '+' : '-';
    return strPattern + (drv.IsHeadphonePresent() ? "H" : "-");
}

TEST(StandInCommandsTest, ARandomRefuseRateRefusesSetMessagesOnlyAndASeedReplaysIt) {
    const std::string strFirst = RefusalPattern(L"--refuse-rate=30 --seed=7");
    EXPECT_EQ(RefusalPattern(L"--refuse-rate=30 --seed=7"), strFirst);
    EXPECT_NE(RefusalPattern(L"--refuse-rate=30 --seed=8"), strFirst);
    const size_t nRefused = std::count(strFirst.begin(), strFirst.end(), '-');
    EXPECT_GT(nRefused, 5u);
    EXPECT_LT(nRefused, 35u);
    EXPECT_EQ(strFirst.back(), 'H') << "the headphone query is never refused at random";
    EXPECT_EQ(RefusalPattern(L"--refuse-rate=100"), std::string(60, '-') + "H");

    StandIn standIn(L"--refuse-rate=100");
    ASSERT_TRUE(standIn.WaitServing());
    CAudioDrv drv;
    ASSERT_TRUE(drv.Open());
    EXPECT_FALSE(drv.SetEQEnable(FALSE));
    EXPECT_TRUE(standIn.Do("refuse-rate 101", "# error: '101' is no percentage"));
    ASSERT_TRUE(standIn.Do("refuse-rate 0", "# refusing 0% of set messages at random"));
    EXPECT_TRUE(drv.SetEQEnable(FALSE));
}

TEST(StandInCommandsTest, QuitOrTheEndOfInputEndsIt) {
    for (const bool bQuit : {true, false}) {
        StandIn standIn;
        ASSERT_TRUE(standIn.WaitServing());
        if (bQuit)
            ASSERT_TRUE(standIn.Send("quit"));
        else
            standIn.CloseInput();
        DWORD dwExitCode = 1;
        ASSERT_TRUE(standIn.WaitForExit(dwExitCode));
        EXPECT_EQ(dwExitCode, 0u);
        EXPECT_TRUE(standIn.WaitForLine(bQuit ? "# quit" : "# standard input ended"));
    }
}

class StandInWireTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(standIn.WaitServing());
        hDevice = platform::CreateDevice(L"WAV1:", GENERIC_READ | GENERIC_WRITE, 3, nullptr,
                                         OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(hDevice, INVALID_HANDLE_VALUE);
    }
    void TearDown() override {
        if (hDevice != INVALID_HANDLE_VALUE)
            platform::CloseDevice(hDevice);
    }

    // One control call with a sentinel-filled output; cbIn may cut the record short.
    BOOL Call(DWORD dwCode, DWORD dwMsg, DWORD dwParam, DWORD cbOut, DWORD cbIn = 20) {
        const MMDRV_MESSAGE_PARAMS params = {0, dwMsg, 0, dwParam, 0};
        std::fill(std::begin(output), std::end(output), kSentinel);
        cbReturned = kSentinel;
        return platform::ControlDevice(hDevice, dwCode, const_cast<MMDRV_MESSAGE_PARAMS*>(&params),
                                       cbIn, output, cbOut, &cbReturned, nullptr);
    }

    StandIn standIn;
    HANDLE hDevice = INVALID_HANDLE_VALUE;
    DWORD output[8];
    DWORD cbReturned = 0;
};

TEST_F(StandInWireTest, RefusesWhatTheDriverWouldAndTouchesNoOutputThen) {
    EXPECT_FALSE(Call(0x001D0010, AUDMSG_AGC_LEVEL, 40, 20)); // another control code
    EXPECT_FALSE(Call(IOCTL_WAV_MESSAGE, AUDMSG_AGC_LEVEL, 40, 4));
    EXPECT_FALSE(Call(IOCTL_WAV_MESSAGE, AUDMSG_GET_HEADPHONE, 0, 20));
    EXPECT_FALSE(Call(IOCTL_WAV_MESSAGE, AUDMSG_AGC_LEVEL, 40, 20, 16));
    EXPECT_FALSE(Call(IOCTL_WAV_MESSAGE, 119, 1, 20));
    EXPECT_FALSE(Call(IOCTL_WAV_MESSAGE, 110, 1, 20));
    EXPECT_FALSE(Call(IOCTL_WAV_MESSAGE, AUDMSG_EQ_BAND_FIRST + 4, 16, 20));
    EXPECT_EQ(output[0], kSentinel);
    EXPECT_EQ(cbReturned, kSentinel);
    EXPECT_TRUE(standIn.WaitForLine("# refused: control code 0x001D0010"));
    EXPECT_TRUE(standIn.WaitForLine("# refused: an input of 16 bytes"));
    EXPECT_TRUE(standIn.WaitForLine("# refused: message 123 needs an output of 4 bytes, not 20"));

    ASSERT_TRUE(standIn.WaitForMessages(6)) << "the short record has no message line";
    const std::vector<std::tuple<DWORD, DWORD, std::string>> expected = {
        {113, 40, "refused"}, {113, 40, "refused"}, {123, 0, "refused"},
        {119, 1, "refused"},  {110, 1, "refused"},  {118, 16, "refused"}};
    const std::vector<LogLine> logged = standIn.Messages();
    ASSERT_EQ(logged.size(), expected.size());
    for (size_t n = 0; n < expected.size(); ++n)
        EXPECT_EQ(std::make_tuple(logged[n].dwMsg, logged[n].dwParam, logged[n].strResult),
                  expected[n]);
}

TEST_F(StandInWireTest, AcceptedMessagesFillTheirOutput) {
    EXPECT_TRUE(Call(IOCTL_WAV_MESSAGE, AUDMSG_EQ_BAND_FIRST + 4, 15, 20));
    EXPECT_EQ(cbReturned, 20u);
    const MMDRV_MESSAGE_PARAMS echoed = {0, AUDMSG_EQ_BAND_FIRST + 4, 0, 15, 0};
    EXPECT_EQ(std::memcmp(output, &echoed, sizeof echoed), 0) << "a set message returns its record";
    EXPECT_EQ(output[5], kSentinel);

    EXPECT_TRUE(Call(IOCTL_WAV_MESSAGE, AUDMSG_GET_HEADPHONE, 0, 4));
    EXPECT_EQ(cbReturned, 4u);
    EXPECT_EQ(output[0], 1u);
    EXPECT_EQ(output[1], kSentinel);
}

// Writes bytes to the pipe as any program could, outside the device route.
class RawClient {
public:
    RawClient()
        : m_hPipe(::CreateFileW(platform::wav_pipe::kPipeName, GENERIC_READ | GENERIC_WRITE, 0,
                                nullptr, OPEN_EXISTING, 0, nullptr)) {
        DWORD dwMode = PIPE_READMODE_MESSAGE;
        m_bOpen = m_hPipe.Get() != INVALID_HANDLE_VALUE &&
                  ::SetNamedPipeHandleState(m_hPipe.Get(), &dwMode, nullptr, nullptr);
        if (m_hPipe.Get() == INVALID_HANDLE_VALUE)
            m_hPipe.Release();
    }
    bool Write(const std::vector<BYTE>& bytes) {
        DWORD cbWritten = 0;
        return m_bOpen && ::WriteFile(m_hPipe.Get(), bytes.data(), static_cast<DWORD>(bytes.size()),
                                      &cbWritten, nullptr);
    }

private:
    platform::UniqueHandle m_hPipe;
    bool m_bOpen = false;
};

std::vector<BYTE> Request(DWORD dwCode, DWORD cbOut, DWORD dwMsg, DWORD dwParam) {
    std::vector<BYTE> bytes(28, 0);
    platform::wav_pipe::PutWord(&bytes[0], dwCode);
    platform::wav_pipe::PutWord(&bytes[4], cbOut);
    platform::wav_pipe::PutWord(&bytes[12], dwMsg);
    platform::wav_pipe::PutWord(&bytes[20], dwParam);
    return bytes;
}

TEST(StandInBadClientTest, BadClientsAreDroppedAndServingGoesOn) {
    StandIn standIn;
    ASSERT_TRUE(standIn.WaitServing());
    const std::vector<std::vector<BYTE>> dropped = {
        std::vector<BYTE>(4, 0x11),                     // too short for a header
        std::vector<BYTE>(200, 0x22),                   // longer than any request
        Request(0x5EB0A7, 0xFFFFFF00u, 0x41414141, 7)}; // garbage asking for a huge output
    // More rounds than pipe instances: each instance serves client after client.
    for (int nRound = 0; nRound < 3; ++nRound) {
        for (const std::vector<BYTE>& bytes : dropped) {
            const size_t nBefore = standIn.Lines().size();
            RawClient client;
            ASSERT_TRUE(client.Write(bytes));
            ASSERT_TRUE(standIn.WaitForLine("# dropped a client: ", nBefore));
        }
        RawClient().Write(Request(IOCTL_WAV_MESSAGE, 20, AUDMSG_AGC_LEVEL, 36)); // leaves at once
        RawClient();                                                             // says nothing
    }
    EXPECT_EQ(CountLines(standIn, "# dropped a client: "), 9u);

    CAudioDrv drv;
    ASSERT_TRUE(drv.Open());
    EXPECT_TRUE(drv.SetEQEnable(FALSE));
    EXPECT_EQ(drv.IsHeadphonePresent(), 1);
}

} // namespace
