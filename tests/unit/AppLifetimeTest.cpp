// The application object is made before the settings object and outlives it, so that at exit
// the driver is closed while the application still exists; the registry route the settings
// object's last worker pass writes through outlives it too. And the title font it makes.
#include "fakes/FakeDevice.h"
#include "settings/AudioConfig.h"
#include "settings/RegistryRoute.h"
#include "ui/AudioApp.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <type_traits>

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
        const bool bRouteStillThere = RouteAnswers();
        if (!bSettingsEndedBefore || !bAppStillThere || !bRouteStillThere) {
            std::fprintf(stderr,
                         "exit order: settings ended before %d, application there %d, registry "
                         "route there %d\n",
                         bSettingsEndedBefore, bAppStillThere, bRouteStillThere);
            std::_Exit(3);
        }
    }
    // A call through a route whose teardown left a trace (its table, a handle) fails or ends
    // the process.
    static bool RouteAnswers() {
        HKEY hKey = nullptr;
        if (Registry().OpenKey(HKEY_CURRENT_USER, nullptr, KEY_READ, &hKey) != ERROR_SUCCESS)
            return false;
        return Registry().CloseKey(hKey) == ERROR_SUCCESS;
    }
    const bool bAppMadeBefore;
};

// A route with nothing of its own, as the platform's, has no destructor to run before the
// settings object's: one that did would be gone while the last worker pass writes through it.
struct StatelessRoute final : CRegistryRoute {};
static_assert(std::is_trivially_destructible_v<StatelessRoute>);

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
