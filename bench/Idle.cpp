// The open application left alone: the CPU time its process takes and the driver messages the
// stand-in logs in that time. Prints, asserts nothing. --seconds=N shortens the 30 s.

#include "BenchSupport.h"
#include "support/AppUnderTest.h"
#include "support/StandIn.h"

#include <tlhelp32.h>

#include <cstdio>

namespace {

constexpr DWORD kHeadphoneQuery = 123;

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
    const platform::UniqueHandle hSnapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    double sum = 0;
    for (BOOL bMore = ::Thread32First(hSnapshot.Get(), &entry); bMore;
         bMore = ::Thread32Next(hSnapshot.Get(), &entry)) {
        if (entry.th32OwnerProcessID != dwProcessId)
            continue;
        const platform::UniqueHandle hThread(
            ::OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ThreadID));
        FILETIME creation, exit, kernel, user;
        if (hThread && ::GetThreadTimes(hThread.Get(), &creation, &exit, &kernel, &user))
            sum += Milliseconds(kernel, user);
    }
    return sum;
}

} // namespace

int main(int argc, char** argv) {
    const int nSeconds = NumberOption(argc, argv, "seconds", 30);
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
    const platform::UniqueHandle hProcess(
        ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, app.ProcessId()));

    const size_t nFirst = standIn.Lines().size();
    const double processBefore = ProcessCpuMilliseconds(hProcess.Get());
    const double threadsBefore = ThreadsCpuMilliseconds(app.ProcessId());
    ::Sleep(static_cast<DWORD>(nSeconds) * 1000);
    const double processMs = ProcessCpuMilliseconds(hProcess.Get()) - processBefore;
    const double threadsMs = ThreadsCpuMilliseconds(app.ProcessId()) - threadsBefore;

    size_t nQueries = 0, nOthers = 0;
    const std::vector<std::string> lines = standIn.Lines();
    LogLine line;
    for (size_t nLine = nFirst; nLine < lines.size(); ++nLine) {
        if (ParseLogLine(lines[nLine], line))
            (line.dwMsg == kHeadphoneQuery ? nQueries : nOthers) += 1;
    }
    PrintRow(Format("idle %d s: CPU time of muntara.exe", nSeconds),
             Format("%.0f ms (%.2f %% of one core)", threadsMs, threadsMs / (10.0 * nSeconds)),
             Format("sum of GetThreadTimes over its threads, user + kernel (GetProcessTimes "
                    "says %.0f ms); sheet open on the Equalizer tab",
                    processMs));
    PrintRow(Format("idle %d s: driver messages", nSeconds),
             Format("%zu headphone queries, %zu others", nQueries, nOthers),
             "stand-in log; one query a second expected");
    DeleteSettings();
    return 0;
}
