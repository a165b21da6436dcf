// Measures the round trip of one driver message through the device route to the stand-in:
// 1,000 set messages and 1,000 headphone queries, each timed alone. Prints, asserts nothing.

#include "driver/AudioDrv.h"
#include "harness/StandIn.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kRounds = 1000;

double Microseconds(LONGLONG nTicks) {
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return 1e6 * static_cast<double>(nTicks) / static_cast<double>(frequency.QuadPart);
}

template <typename Send> std::vector<double> Measure(Send send) {
    std::vector<double> times;
    for (int nRound = 0; nRound < kRounds; ++nRound) {
        LARGE_INTEGER start, end;
        ::QueryPerformanceCounter(&start);
        send(nRound);
        ::QueryPerformanceCounter(&end);
        times.push_back(Microseconds(end.QuadPart - start.QuadPart));
    }
    std::sort(times.begin(), times.end());
    return times;
}

void Print(const char* pszWhat, const std::vector<double>& times, int nFailed) {
    std::printf("%-22s median %7.1f us   p90 %7.1f us   max %8.1f us   (%zu sends, %d failed)\n",
                pszWhat, times[times.size() / 2], times[times.size() * 9 / 10], times.back(),
                times.size(), nFailed);
}

} // namespace

int main() {
    StandIn standIn;
    CAudioDrv drv;
    if (!standIn.WaitServing() || !drv.Open()) {
        std::puts("the stand-in could not be started or opened");
        return 1;
    }
    int nFailed = 0;
    Print("set message (114):", Measure([&](int n) { nFailed += !drv.SetBandLevel(0, n % 16); }),
          nFailed);
    nFailed = 0;
    Print("headphone query (123):", Measure([&](int) { nFailed += drv.IsHeadphonePresent() != 1; }),
          nFailed);
    return 0;
}
