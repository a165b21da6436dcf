// The open application left alone beside the floor program, which does nothing but the query a
// second the application must make: the CPU time each process takes over the same seconds and the
// driver messages the stand-in logs in that time. Prints, asserts nothing. --seconds=N changes the
// 120 s.

#include "BenchSupport.h"

#include "harness/AppUnderTest.h"
#include "harness/Contract.h"
#include "harness/Program.h"
#include "harness/StandIn.h"

#include <cstdio>

namespace {

double Milliseconds(const FILETIME& kernel, const FILETIME& user) {
    const auto ticks = [](const FILETIME& time) {
        return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    return static_cast<double>(ticks(kernel) + ticks(user)) / 1e4; // 100 ns units
}

double ProcessCpuMilliseconds(HANDLE hProcess) {
    FILETIME creation, exit, kernel, user;
    if (!::GetProcessTimes(hProcess, &creation, &exit, &kernel, &user))
        return -1;
    return Milliseconds(kernel, user);
}

// The sum over the process's threads now running. Wine reports another process's times as 0,
// while each thread's times come from the host's own accounting.
double ThreadsCpuMilliseconds(DWORD dwProcessId) {
    double sum = 0;
    ForEachThreadOf(
        dwProcessId, THREAD_QUERY_LIMITED_INFORMATION, [&](const platform::UniqueHandle& hThread) {
            FILETIME creation, exit, kernel, user;
            if (hThread && ::GetThreadTimes(hThread.Get(), &creation, &exit, &kernel, &user))
                sum += Milliseconds(kernel, user);
        });
    return sum;
}

void PrintCpu(const char* pszProgram, int nSeconds, double threadsMs, double processMs) {
    PrintRow(Format("idle %d s: CPU time of %s", nSeconds, pszProgram),
             Format("%.0f ms (%.2f %% of one core)", threadsMs, threadsMs / (10.0 * nSeconds)),
             Format("sum of GetThreadTimes over its threads, user + kernel (GetProcessTimes "
                    "says %.0f ms); sheet open on its first tab",
                    processMs));
}

} // namespace

int main(int argc, char** argv) {
    // Wine counts thread times in 10 ms ticks and a second's tick costs well under one: two
    // minutes resolve the two programs apart.
    const int nSeconds = NumberOption(argc, argv, "seconds", 120);
    DeleteSettings();
    StandIn standIn;
    if (!standIn.WaitServing()) {
        std::puts("# the stand-in did not start");
        return 1;
    }
    AppUnderTest app;
    if (!app.WaitForSheet() || !standIn.WaitForMessages(1)) {
        std::puts("# the application did not start");
        return 1;
    }
    AppUnderTest floor(L"floor_sheet.exe");
    if (!floor.WaitForSheet()) {
        std::puts("# the floor did not start");
        return 1;
    }

    // Both idle over the same seconds, so that the machine's load weighs on both alike.
    const size_t nFirst = standIn.Lines().size();
    const double processBefore = ProcessCpuMilliseconds(app.Process());
    const double floorProcessBefore = ProcessCpuMilliseconds(floor.Process());
    const double threadsBefore = ThreadsCpuMilliseconds(app.ProcessId());
    const double floorThreadsBefore = ThreadsCpuMilliseconds(floor.ProcessId());
    ::Sleep(static_cast<DWORD>(nSeconds) * 1000);
    const double processMs = ProcessCpuMilliseconds(app.Process()) - processBefore;
    const double floorProcessMs = ProcessCpuMilliseconds(floor.Process()) - floorProcessBefore;
    const double threadsMs = ThreadsCpuMilliseconds(app.ProcessId()) - threadsBefore;
    const double floorThreadsMs = ThreadsCpuMilliseconds(floor.ProcessId()) - floorThreadsBefore;

    size_t nQueries = 0, nOthers = 0;
    const std::vector<std::string> lines = standIn.Lines();
    LogLine line;
    for (size_t nLine = nFirst; nLine < lines.size(); ++nLine) {
        if (ParseLogLine(lines[nLine], line))
            (line.dwMsg == kHeadphoneQuery ? nQueries : nOthers) += 1;
    }
    PrintCpu("muntara.exe", nSeconds, threadsMs, processMs);
    PrintCpu("floor_sheet.exe (sheet and the query a second)", nSeconds, floorThreadsMs,
             floorProcessMs);
    PrintRow(Format("idle %d s: CPU muntara / floor", nSeconds),
             Format("%.2f", floorThreadsMs > 0 ? threadsMs / floorThreadsMs : 0.0),
             Format("ratio of the two sums above, measured side by side; per second (one tick "
                    "each) %.2f / %.2f ms",
                    threadsMs / nSeconds, floorThreadsMs / nSeconds));
    PrintRow(Format("idle %d s: driver messages", nSeconds),
             Format("%zu headphone queries, %zu others", nQueries, nOthers),
             "stand-in log, both programs; one query a second from each expected");
    DeleteSettings();
    return 0;
}
