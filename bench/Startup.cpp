// Start-up of the application beside the floor (the same sheet with nothing behind it): from
// CreateProcess to the sheet shown with its first page, and for the application to its first
// headphone query answered; the working set once started. Prints, asserts nothing.

#include "BenchSupport.h"

#include "harness/AppUnderTest.h"
#include "harness/Contract.h"
#include "harness/StandIn.h"
#include "harness/StoredSettings.h"
#include "harness/Wait.h"

#include <psapi.h>

#include <cstdio>
#include <vector>

namespace {

struct StartFigures {
    std::vector<double> sheetMs;
    std::vector<double> queryMs;
    std::vector<double> workingSetKiB;
};

double MillisecondsSince(const LARGE_INTEGER& start) {
    LARGE_INTEGER now, frequency;
    ::QueryPerformanceCounter(&now);
    ::QueryPerformanceFrequency(&frequency);
    return 1e3 * static_cast<double>(now.QuadPart - start.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

// The log time of the first headphone query from line nFirst on, or 0.
ULONGLONG FirstQueryTime(const StandIn& standIn, size_t nFirst) {
    const std::vector<std::string> lines = standIn.Lines();
    LogLine line;
    for (size_t nLine = nFirst; nLine < lines.size(); ++nLine) {
        if (ParseLogLine(lines[nLine], line) && line.dwMsg == kHeadphoneQuery)
            return line.t;
    }
    return 0;
}

// One start of the program on the settings a closed application leaves (the six built-in modes),
// which both programs load; with a stand-in, also waits for its first headphone query.
bool StartOnce(const wchar_t* pszExe, StandIn* pStandIn, StartFigures& figures) {
    DeleteSettings();
    WriteTree(HKEY_CURRENT_USER, kSettingsPath, SettingsWithOwnModes({}));
    const size_t nFirst = pStandIn ? pStandIn->Lines().size() : 0;
    const ULONGLONG tStart = ::GetTickCount64();
    LARGE_INTEGER start;
    ::QueryPerformanceCounter(&start);
    AppUnderTest program(pszExe); // cancelled and waited for when the figures are taken
    if (!program.WaitForSheet())
        return false;
    figures.sheetMs.push_back(MillisecondsSince(start));
    if (pStandIn) {
        ULONGLONG tQuery = 0;
        if (!WaitUntil([&] { return (tQuery = FirstQueryTime(*pStandIn, nFirst)) != 0; }))
            return false;
        figures.queryMs.push_back(static_cast<double>(tQuery - tStart));
    }
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    if (::GetProcessMemoryInfo(program.Process(), &memory, sizeof memory))
        figures.workingSetKiB.push_back(static_cast<double>(memory.WorkingSetSize) / 1024);
    return true;
}

void PrintTimes(const char* pszFigure, const std::vector<double>& sample, const char* pszNote) {
    const Summary summary = Summarise(sample);
    PrintRow(pszFigure, Format("median %.0f ms, max %.0f ms", summary.median, summary.max),
             Format("%zu runs; %s", sample.size(), pszNote));
}

} // namespace

int main(int argc, char** argv) {
    const int nRuns = NumberOption(argc, argv, "runs", 10);
    StandIn standIn;
    if (!standIn.WaitServing()) {
        std::puts("# the stand-in did not start");
        return 1;
    }
    // One start of each first and not counted: it loads what later starts find in memory.
    StartFigures app, floor, discarded;
    if (!StartOnce(L"muntara.exe", &standIn, discarded) ||
        !StartOnce(L"floor_sheet.exe", nullptr, discarded)) {
        std::puts("# a program did not show its sheet");
        return 1;
    }
    for (int nRun = 0; nRun < nRuns; ++nRun) {
        if (!StartOnce(L"muntara.exe", &standIn, app) ||
            !StartOnce(L"floor_sheet.exe", nullptr, floor)) {
            std::puts("# a program did not show its sheet");
            return 1;
        }
    }
    DeleteSettings();

    PrintTimes("start to sheet shown: muntara.exe", app.sheetMs, "alternating with the floor");
    PrintTimes(
        "start to sheet shown: floor_sheet.exe", floor.sheetMs,
        "same templates; reads the stored settings, starts a waiting worker, opens the device");
    PrintRow("start to sheet shown: muntara / floor",
             Format("%.2f", Summarise(app.sheetMs).median / Summarise(floor.sheetMs).median),
             "ratio of the medians");
    PrintTimes("start to first headphone query answered", app.queryMs, "stand-in log time");
    const Summary appMemory = Summarise(app.workingSetKiB);
    const Summary floorMemory = Summarise(floor.workingSetKiB);
    PrintRow("working set after start: muntara.exe / floor_sheet.exe",
             Format("%.0f KiB / %.0f KiB", appMemory.median, floorMemory.median),
             Format("medians; GetProcessMemoryInfo once the sheet (and first query) stood; "
                    "%zu + %zu samples",
                    app.workingSetKiB.size(), floor.workingSetKiB.size()));
    PrintRow("working set after start: muntara / floor",
             Format("%.2f", floorMemory.median > 0 ? appMemory.median / floorMemory.median : 0.0),
             "ratio of the medians");
    return 0;
}
