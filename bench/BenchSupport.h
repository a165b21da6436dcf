#pragma once

#include "platform/Handle.h"

#include <windows.h>

#include <string>
#include <thread>
#include <vector>

// What the benchmarks share: figures, the settings key, programs of the build started by path.

// The settings key the application keeps; every run starts without it.
constexpr LPCWSTR kSettingsPath = L"ControlPanel\\Trilbo Audio";
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

// A program of the build's bin folder, started without arguments; ended by its handle when
// destroyed if it is still running.
class LaunchedProgram {
public:
    explicit LaunchedProgram(const std::wstring& strExeName);
    ~LaunchedProgram();
    LaunchedProgram(const LaunchedProgram&) = delete;
    LaunchedProgram& operator=(const LaunchedProgram&) = delete;

    bool Started() const { return static_cast<bool>(m_hProcess); }
    HANDLE Process() const { return m_hProcess.Get(); }
    DWORD ProcessId() const { return m_dwProcessId; }
    // Waits for the visible sheet with its first page's first band slider; returns the sheet.
    HWND WaitForSheet(DWORD timeoutMs = 20000) const;
    // Cancels the sheet and waits for the process to end; ends it by its handle otherwise.
    void Close(HWND hSheet);

private:
    platform::UniqueHandle m_hProcess;
    DWORD m_dwProcessId = 0;
};

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
