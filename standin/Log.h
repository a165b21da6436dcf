#pragma once

#include <windows.h>

#include <mutex>

// The stand-in's standard output, shared by every pipe instance and the command loop. Each line
// is written whole and at once, so that a process reading it sees every event as it happens.
//
//   T MSG PARAM RESULT   one driver message; T is GetTickCount64(), so that other processes of
//                        the machine can line their own events up with it
//   # ...                everything else
class Log {
public:
    Log();

    void Message(DWORD dwMsg, DWORD dwParam, const char* pszResult);
    void Note(const char* pszFormat, ...) __attribute__((format(__MINGW_PRINTF_FORMAT, 2, 3)));

private:
    void WriteLine(const char* pszLine, int cchLine);

    std::mutex m_mutex;
    HANDLE m_hOutput; // not owned: the process's standard output
};
