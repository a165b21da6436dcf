#include "support/Program.h"

std::wstring BinPath(const std::wstring& strExeName) {
    wchar_t szPath[MAX_PATH];
    const DWORD cch = ::GetModuleFileNameW(nullptr, szPath, MAX_PATH);
    std::wstring strPath(szPath, cch);
    return strPath.substr(0, strPath.find_last_of(L'\\') + 1) + strExeName;
}

bool StartProgram(const std::wstring& strExeName, platform::UniqueHandle& hProcess,
                  DWORD& dwProcessId) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    std::wstring strCommand = L"\"" + BinPath(strExeName) + L"\"";
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessW(nullptr, &strCommand[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process))
        return false;
    ::CloseHandle(process.hThread);
    hProcess.Reset(process.hProcess);
    dwProcessId = process.dwProcessId;
    return true;
}
