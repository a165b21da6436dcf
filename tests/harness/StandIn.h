#pragma once

#include "platform/Handle.h"

#include <windows.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

// One message line of the stand-in's log: "T MSG PARAM RESULT".
struct LogLine {
    ULONGLONG t;
    DWORD dwMsg;
    DWORD dwParam;
    std::string strResult;
};

// The stand-in audio driver, started from the build's bin folder beside the test with standard
// input and output on pipes the test owns. Collects every output line; asks the stand-in to quit
// when destroyed, and ends it by its process handle if it does not.
class StandIn {
public:
    explicit StandIn(const std::wstring& strOptions = L"");
    ~StandIn();
    StandIn(const StandIn&) = delete;
    StandIn& operator=(const StandIn&) = delete;

    // Started and serving the pipe; otherwise says what the stand-in printed.
    bool WaitServing();
    // Sends a command and waits for the line strAck that confirms it.
    bool Do(const std::string& strCommand, const std::string& strAck);
    bool Send(const std::string& strLine);
    void CloseInput() { m_hInput.Reset(); }

    // Waits for a line beginning with strStart among the lines from nFirst on.
    bool WaitForLine(const std::string& strStart, size_t nFirst = 0);
    bool WaitForMessages(size_t nCount);
    std::vector<std::string> Lines() const;
    std::vector<LogLine> Messages() const;

    bool WaitForExit(DWORD& dwExitCode);
    void Kill();
    // Suspends or resumes every thread of the stand-in, as a debugger or a hang stops a driver;
    // false when a thread could not be reached.
    bool Pause() { return ForEachThread(true); }
    bool Resume() { return ForEachThread(false); }

private:
    void ReadOutput();
    bool ForEachThread(bool bSuspend);

    platform::UniqueHandle m_hProcess;
    platform::UniqueHandle m_hInput;  // the stand-in's standard input
    platform::UniqueHandle m_hOutput; // its standard output and error
    std::thread m_reader;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_lines;
};

bool ParseLogLine(const std::string& strLine, LogLine& line);
