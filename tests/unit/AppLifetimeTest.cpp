// The application object is made before the settings object and outlives it, so that at exit
// the driver is closed while the application still exists. And the title font it makes.
#include "fakes/FakeDevice.h"
#include "platform/static_order.h"
#include "settings/AudioConfig.h"
#include "ui/AudioApp.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Never destroyed: the settings object closes its device through it at exit.
FakeDevice* g_pDevice = nullptr;

// Made between the two objects, so ended between them too. Exit runs after the test's verdict,
// so a wrong order shows in the exit code.
struct BetweenTheTwo {
    BetweenTheTwo() : bAppMadeBefore(AfxGetApp() == &theApp) {}
    ~BetweenTheTwo() {
        const bool bSettingsEndedBefore = g_pDevice && g_pDevice->CloseCount() == 1;
        const bool bAppStillThere = AfxGetApp() == &theApp;
        if (!bSettingsEndedBefore || !bAppStillThere) {
            std::fprintf(stderr, "exit order: settings ended before %d, application there %d\n",
                         bSettingsEndedBefore, bAppStillThere);
            std::_Exit(3);
        }
    }
    const bool bAppMadeBefore;
};

BetweenTheTwo g_between __attribute__((init_priority(kAppInitPriority + 1)));

TEST(AppLifetimeTest, TheApplicationIsMadeFirstAndEndsLast) {
    EXPECT_TRUE(g_between.bAppMadeBefore);
    g_pDevice = new FakeDevice;
    ASSERT_TRUE(g_AudioConfig.Open());
    EXPECT_EQ(g_pDevice->CloseCount(), 0);
    EXPECT_EQ(theApp.m_fontTitle.GetSafeHandle(), nullptr) << "made by start-up, not before";
}

TEST(TitleFont, IsBoldTahoma13PixelsHighAt96DpiAndInProportionElsewhere) {
    const struct {
        int nPixelsPerInch;
        LONG lHeight;
    } rows[] = {{96, 13}, {144, 20}};
    for (const auto& row : rows) {
        LOGFONTW expected = {};
        expected.lfHeight = row.lHeight;
        expected.lfWeight = FW_BOLD;
        std::wcscpy(expected.lfFaceName, L"Tahoma");
        const LOGFONTW made = TitleLogFont(row.nPixelsPerInch);
        EXPECT_EQ(made.lfHeight, row.lHeight) << row.nPixelsPerInch << " DPI";
        EXPECT_EQ(std::memcmp(&made, &expected, sizeof made), 0) << row.nPixelsPerInch << " DPI";
    }
}

} // namespace
