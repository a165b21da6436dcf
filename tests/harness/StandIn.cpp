#include "harness/StandIn.h"

#include "harness/Program.h"
#include "harness/Wait.h"

#include <cstdio>
#include <sstream>

namespace {

constexpr DWORD kExitWaitMs = 10000;

// A pipe for the child's standard input or output; the caller keeps its own end from being
// inherited.
bool MakePipe(platform::UniqueHandle& hRead, platform::UniqueHandle& hWrite) {
    SECURITY_ATTRIBUTES security = {sizeof security, nullptr, TRUE};
    HANDLE hReadEnd = nullptr;
    HANDLE hWriteEnd = nullptr;
    if (!::CreatePipe(&hReadEnd, &hWriteEnd, &security, 0))
        return false;
    hRead.Reset(hReadEnd);
    hWrite.Reset(hWriteEnd);
    return true;
}

} // namespace

StandIn::StandIn(const std::wstring& strOptions) {
    platform::UniqueHandle hChildInput;
    platform::UniqueHandle hChildOutput;
    if (!MakePipe(hChildInput, m_hInput) ||
        !::SetHandleInformation(m_hInput.Get(), HANDLE_FLAG_INHERIT, 0) ||
        !MakePipe(m_hOutput, hChildOutput) ||
        !::SetHandleInformation(m_hOutput.Get(), HANDLE_FLAG_INHERIT, 0))
        return;

    const HANDLE stdHandles[3] = {hChildInput.Get(), hChildOutput.Get(), hChildOutput.Get()};
    if (!StartProgram(L"wav1-standin.exe", strOptions, m_hProcess, nullptr, &stdHandles))
        return;
    m_reader = std::thread([this] { ReadOutput(); });
}

StandIn::~StandIn() {
    if (m_hProcess) {
        Send("quit");
        if (::WaitForSingleObject(m_hProcess.Get(), ScaledTimeout(kExitWaitMs)) != WAIT_OBJECT_0)
            Kill();
    }
    m_hInput.Reset();
    if (m_reader.joinable())
        m_reader.join(); // the output ends with the process
}

bool StandIn::WaitServing() {
    if (WaitForLine("# serving", 0))
        return true;
    DWORD dwExitCode = STILL_ACTIVE;
    ::GetExitCodeProcess(m_hProcess.Get(), &dwExitCode);
    std::fprintf(stderr, "the stand-in is not serving (exit code %lu); it printed:\n", dwExitCode);
    for (const std::string& strLine : Lines())
        std::fprintf(stderr, "  %s\n", strLine.c_str());
    return false;
}

bool StandIn::Send(const std::string& strLine) {
    const std::string strText = strLine + "\n";
    DWORD cbWritten = 0;
    return m_hInput && ::WriteFile(m_hInput.Get(), strText.data(),
                                   static_cast<DWORD>(strText.size()), &cbWritten, nullptr);
}

bool StandIn::Do(const std::string& strCommand, const std::string& strAck) {
    const size_t nBefore = Lines().size();
    return Send(strCommand) && WaitForLine(strAck, nBefore);
}

bool StandIn::WaitForLine(const std::string& strStart, size_t nFirst) {
    return WaitUntil([&] {
        const std::vector<std::string> lines = Lines();
        for (size_t nLine = nFirst; nLine < lines.size(); ++nLine)
            if (lines[nLine].compare(0, strStart.size(), strStart) == 0)
                return true;
        return false;
    });
}

bool StandIn::WaitForMessages(size_t nCount) {
    return WaitUntil([&] { return Messages().size() >= nCount; });
}

std::vector<std::string> StandIn::Lines() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lines;
}

std::vector<LogLine> StandIn::Messages() const {
    std::vector<LogLine> messages;
    LogLine line;
    for (const std::string& strLine : Lines())
        if (ParseLogLine(strLine, line))
            messages.push_back(line);
    return messages;
}

bool StandIn::WaitForExit(DWORD& dwExitCode) {
    return m_hProcess &&
           ::WaitForSingleObject(m_hProcess.Get(), ScaledTimeout(kExitWaitMs)) == WAIT_OBJECT_0 &&
           ::GetExitCodeProcess(m_hProcess.Get(), &dwExitCode);
}

void StandIn::Kill() {
    ::TerminateProcess(m_hProcess.Get(), 9);
    ::WaitForSingleObject(m_hProcess.Get(), ScaledTimeout(kExitWaitMs));
}

bool StandIn::ForEachThread(bool bSuspend) {
    const DWORD dwProcessId = ::GetProcessId(m_hProcess.Get());
    if (!dwProcessId)
        return false;
    bool bAll = true;
    const int nThreads = ForEachThreadOf(
        dwProcessId, THREAD_SUSPEND_RESUME, [&](const platform::UniqueHandle& hThread) {
            const DWORD dwCount = !hThread   ? static_cast<DWORD>(-1)
                                  : bSuspend ? ::SuspendThread(hThread.Get())
                                             : ::ResumeThread(hThread.Get());
            bAll = bAll && dwCount != static_cast<DWORD>(-1);
        });
    return bAll && nThreads > 0;
}

void StandIn::ReadOutput() {
    std::string strPending;
    char buffer[4096];
    DWORD cbRead = 0;
    while (::ReadFile(m_hOutput.Get(), buffer, sizeof buffer, &cbRead, nullptr) && cbRead) {
        strPending.append(buffer, cbRead);
        size_t nEnd;
        while ((nEnd = strPending.find('\n')) != std::string::npos) {
            std::string strLine = strPending.substr(0, nEnd);
            if (!strLine.empty() && strLine.back() == '\r')
                strLine.pop_back();
            strPending.erase(0, nEnd + 1);
            std::lock_guard<std::mutex> lock(m_mutex);
            m_lines.push_back(std::move(strLine));
        }
    }
}

bool ParseLogLine(const std::string& strLine, LogLine& line) {
    if (strLine.empty() || strLine[0] == '#')
        return false;
    std::istringstream fields(strLine);
    std::string strRest;
    return fields >> line.t >> line.dwMsg >> line.dwParam >> line.strResult && !(fields >> strRest);
}
