#include "standin/Log.h"

#include <cstdarg>
#include <cstdio>

namespace {

constexpr int kMaxLine = 256;

} // namespace

Log::Log() : m_hOutput(::GetStdHandle(STD_OUTPUT_HANDLE)) {}

void Log::Message(DWORD dwMsg, DWORD dwParam, const char* pszResult) {
    char szLine[kMaxLine];
    const int cchLine = std::snprintf(szLine, sizeof szLine, "%llu %lu %lu %s\n",
                                      ::GetTickCount64(), dwMsg, dwParam, pszResult);
    WriteLine(szLine, cchLine);
}

void Log::Note(const char* pszFormat, ...) {
    char szLine[kMaxLine] = "# ";
    va_list args;
    va_start(args, pszFormat);
    const int cchText = std::vsnprintf(szLine + 2, sizeof szLine - 3, pszFormat, args);
    va_end(args);
    int cchLine = 2 + (cchText < 0 ? 0 : cchText);
    if (cchLine > kMaxLine - 2)
        cchLine = kMaxLine - 2;
    szLine[cchLine++] = '\n';
    WriteLine(szLine, cchLine);
}

// Standard output may be a pipe that nobody reads any more; the stand-in serves on regardless.
void Log::WriteLine(const char* pszLine, int cchLine) {
    if (cchLine <= 0)
        return;
    std::lock_guard<std::mutex> lock(m_mutex);
    DWORD cbWritten = 0;
    ::WriteFile(m_hOutput, pszLine, static_cast<DWORD>(cchLine), &cbWritten, nullptr);
}
