// The stand-in audio driver: serves "WAV1:" to the programs of this machine, answers the driver
// messages as the handheld's driver does, logs each on standard output, and takes its commands
// (a headphone to plug in, messages to refuse) on standard input.

#include "standin/DriverState.h"
#include "standin/Log.h"
#include "standin/PipeServer.h"

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr int kExitServeFailed = 1;
constexpr int kExitUsage = 2;

constexpr char kUsage[] =
    "usage: wav1-standin [--headphone=on|off] [--refuse=N[,N...]] [--refuse-rate=P] [--seed=S]\n"
    "  serves WAV1: on \\\\.\\pipe\\WAV1 and logs each driver message as 'T MSG PARAM RESULT'\n"
    "  --headphone   whether a headphone is plugged in at start (default on)\n"
    "  --refuse      driver messages (111..118, 123) to refuse from the start\n"
    "  --refuse-rate percentage (0..100) of set messages to refuse at random (default 0)\n"
    "  --seed        seed of those random refusals (default 1)\n"
    "commands on standard input, one a line; the end of standard input ends the stand-in as\n"
    "quit does:\n";
constexpr char kCommands[] =
    "headphone on|off, refuse N|all, accept N|all, refuse-rate P, hold N, release N, state, quit";

struct Options {
    bool bHeadphone = true;
    std::vector<DWORD> refused;
    DWORD dwRefuseRate = 0;
    DWORD dwSeed = 1;
};

// A number of at most nine decimal digits, as options and commands give it.
template <typename Char> bool ParseNumber(const std::basic_string<Char>& strText, DWORD& dwNumber) {
    if (strText.empty() || strText.size() > 9)
        return false;
    DWORD dwValue = 0;
    for (const Char ch : strText) {
        if (ch < '0' || ch > '9')
            return false;
        dwValue = dwValue * 10 + static_cast<DWORD>(ch - '0');
    }
    dwNumber = dwValue;
    return true;
}

template <typename Char> bool ParseMessage(const std::basic_string<Char>& strText, DWORD& dwMsg) {
    return ParseNumber(strText, dwMsg) && DriverState::IsDriverMessage(dwMsg);
}

template <typename Char> bool ParsePercent(const std::basic_string<Char>& strText, DWORD& dwRate) {
    return ParseNumber(strText, dwRate) && dwRate <= DriverState::kAllPercent;
}

// Whether strArg is strName followed by a value; strValue is that value.
bool IsOption(const std::wstring& strArg, const std::wstring& strName, std::wstring& strValue) {
    if (strArg.compare(0, strName.size(), strName) != 0)
        return false;
    strValue = strArg.substr(strName.size());
    return true;
}

bool ParseRefused(const std::wstring& strList, std::vector<DWORD>& refused) {
    size_t nStart = 0;
    for (;;) {
        const size_t nComma = strList.find(L',', nStart);
        DWORD dwMsg = 0;
        if (!ParseMessage(strList.substr(nStart, nComma - nStart), dwMsg))
            return false;
        refused.push_back(dwMsg);
        if (nComma == std::wstring::npos)
            return true;
        nStart = nComma + 1;
    }
}

bool ParseOptions(int argc, wchar_t** argv, Options& options) {
    for (int nArg = 1; nArg < argc; ++nArg) {
        const std::wstring strArg = argv[nArg];
        std::wstring strValue;
        bool bParsed = false;
        if (IsOption(strArg, L"--headphone=", strValue)) {
            bParsed = strValue == L"on" || strValue == L"off";
            options.bHeadphone = strValue == L"on";
        } else if (IsOption(strArg, L"--refuse=", strValue))
            bParsed = ParseRefused(strValue, options.refused);
        else if (IsOption(strArg, L"--refuse-rate=", strValue))
            bParsed = ParsePercent(strValue, options.dwRefuseRate);
        else if (IsOption(strArg, L"--seed=", strValue))
            bParsed = ParseNumber(strValue, options.dwSeed);
        if (!bParsed)
            return false;
    }
    return true;
}

// Splits standard input into lines, whether it is a console, a pipe or a file.
class LineReader {
public:
    LineReader() : m_hInput(::GetStdHandle(STD_INPUT_HANDLE)) {}

    // False at the end of the input.
    bool Next(std::string& strLine) {
        for (;;) {
            const size_t nEnd = m_strPending.find('\n');
            if (nEnd != std::string::npos) {
                strLine = m_strPending.substr(0, nEnd);
                m_strPending.erase(0, nEnd + 1);
                return true;
            }
            char buffer[256];
            DWORD cbRead = 0;
            if (!::ReadFile(m_hInput, buffer, sizeof buffer, &cbRead, nullptr) || cbRead == 0) {
                strLine.swap(m_strPending);
                m_strPending.clear();
                return !strLine.empty();
            }
            m_strPending.append(buffer, cbRead);
        }
    }

private:
    HANDLE m_hInput; // not owned
    std::string m_strPending;
};

std::vector<std::string> SplitWords(const std::string& strLine) {
    std::vector<std::string> words;
    size_t nPos = 0;
    const char* const pszSpace = " \t\r";
    while ((nPos = strLine.find_first_not_of(pszSpace, nPos)) != std::string::npos) {
        const size_t nEnd = strLine.find_first_of(pszSpace, nPos);
        words.push_back(strLine.substr(nPos, nEnd - nPos));
        nPos = nEnd;
    }
    return words;
}

// Carries out one command line; false for quit.
bool RunCommand(const std::string& strLine, DriverState& driver, Log& log) {
    const std::vector<std::string> words = SplitWords(strLine);
    if (words.empty())
        return true;
    const std::string& strVerb = words[0];
    const std::string strArg = words.size() == 2 ? words[1] : std::string();
    const bool bOneArg = words.size() == 2;
    DWORD dwMsg = 0;
    DWORD dwRate = 0;
    if (words.size() == 1 && strVerb == "quit")
        return false;
    if (words.size() == 1 && strVerb == "state")
        driver.PrintState();
    else if (bOneArg && strVerb == "headphone" && (strArg == "on" || strArg == "off"))
        driver.SetHeadphone(strArg == "on");
    else if (bOneArg && strVerb == "refuse" && strArg == "all")
        driver.RefuseAll();
    else if (bOneArg && strVerb == "accept" && strArg == "all")
        driver.AcceptAll();
    else if (bOneArg && strVerb == "refuse" && ParseMessage(strArg, dwMsg))
        driver.Refuse(dwMsg);
    else if (bOneArg && strVerb == "accept" && ParseMessage(strArg, dwMsg))
        driver.Accept(dwMsg);
    else if (bOneArg && strVerb == "hold" && ParseMessage(strArg, dwMsg))
        driver.Hold(dwMsg);
    else if (bOneArg && strVerb == "release" && ParseMessage(strArg, dwMsg))
        driver.Release(dwMsg);
    else if (bOneArg && strVerb == "refuse-rate" && ParsePercent(strArg, dwRate))
        driver.SetRefuseRate(dwRate);
    else if (bOneArg && strVerb == "refuse-rate")
        log.Note("error: '%s' is no percentage (0..100)", strArg.c_str());
    else if (bOneArg && (strVerb == "refuse" || strVerb == "accept" || strVerb == "hold" ||
                         strVerb == "release"))
        log.Note("error: '%s' is no driver message (111..118, 123)", strArg.c_str());
    else
        log.Note("error: '%s' is no command; commands: %s (N one of 111..118, 123, P 0..100)",
                 strLine.c_str(), kCommands);
    return true;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "%s  %s\n", kUsage, kCommands);
        std::fflush(stderr);
        return kExitUsage;
    }

    Log log;
    DriverState driver(log);
    driver.LoadStoredSettings();
    driver.SetHeadphone(options.bHeadphone);
    for (const DWORD dwMsg : options.refused)
        driver.Refuse(dwMsg);
    driver.Seed(options.dwSeed);
    if (options.dwRefuseRate != 0) {
        log.Note("seed %lu", options.dwSeed);
        driver.SetRefuseRate(options.dwRefuseRate);
    }

    PipeServer server(driver, log);
    if (!server.Start())
        return kExitServeFailed;
    log.Note("serving WAV1: on \\\\.\\pipe\\WAV1 with %d instances", PipeServer::kInstances);
    log.Note("commands: %s", kCommands);

    // The end of the input ends the stand-in: a starter that dies never leaves one behind that
    // holds the pipe name and keeps the Wine session alive.
    LineReader input;
    std::string strLine;
    bool bQuit = false;
    while (!bQuit && input.Next(strLine))
        bQuit = !RunCommand(strLine, driver, log);
    log.Note(bQuit ? "quit" : "standard input ended; quitting");
    driver.ReleaseAll();
    server.Stop();
    return 0;
}
