#pragma once

#include "platform/Handle.h"

#include <windows.h>

#include <string>
#include <thread>
#include <vector>

// What the benchmarks share besides the tests' harness: figures, options, the settings key
// deleted and its writes counted.

// Every run starts without the settings key.
void DeleteSettings();

// Median, 99th percentile (nearest rank) and maximum of a sample; 0 for an empty one.
struct Summary {
    double median = 0;
    double p99 = 0;
    double max = 0;
};
Summary Summarise(std::vector<double> sample);

// One row of the table run-all.sh gathers: "| figure | value | note |".
void PrintRow(const std::string& strFigure, const std::string& strValue,
              const std::string& strNote = "");
std::string Format(const char* pszFormat, ...) __attribute__((format(gnu_printf, 1, 2)));

// A number given as "--name=N" on the command line, or the fallback.
int NumberOption(int argc, char** argv, const char* pszName, int nFallback);

// Counts change notifications of the settings key's parent and everything below it. A
// notification is armed again as soon as one arrives, so writes closer together than that
// re-arming count once: the count is a lower bound on the writes.
class RegistryWatch {
public:
    RegistryWatch();
    ~RegistryWatch();
    RegistryWatch(const RegistryWatch&) = delete;
    RegistryWatch& operator=(const RegistryWatch&) = delete;

    bool Watching() const { return m_bWatching; }
    // Notifications that arrived at or after tFrom (GetTickCount64) and before tTo.
    size_t CountBetween(ULONGLONG tFrom, ULONGLONG tTo) const;

private:
    void Run();

    HKEY m_hKey = nullptr;
    platform::UniqueHandle m_hChanged;
    platform::UniqueHandle m_hStop;
    bool m_bWatching = false;
    std::thread m_thread;
    mutable std::vector<ULONGLONG> m_times; // guarded by m_lock
    mutable SRWLOCK m_lock = SRWLOCK_INIT;
};
