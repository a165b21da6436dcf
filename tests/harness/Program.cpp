#include "harness/Program.h"

std::wstring BinPath(const std::wstring& strExeName) {
    wchar_t szPath[MAX_PATH];
    const DWORD cch = ::GetModuleFileNameW(nullptr, szPath, MAX_PATH);
    std::wstring strPath(szPath, cch);
    return strPath.substr(0, strPath.find_last_of(L'\\') + 1) + strExeName;
}

bool StartProgram(const std::wstring& strExeName, const std::wstring& strArgs,
                  platform::UniqueHandle& hProcess, DWORD* pdwProcessId,
                  const HANDLE (*pStdHandles)[3]) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    if (pStdHandles) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = (*pStdHandles)[0];
        startup.hStdOutput = (*pStdHandles)[1];
        startup.hStdError = (*pStdHandles)[2];
    }
    std::wstring strCommand = L"\"" + BinPath(strExeName) + L"\"";
    if (!strArgs.empty())
        strCommand += L" " + strArgs;
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessW(nullptr, &strCommand[0], nullptr, nullptr, pStdHandles != nullptr, 0,
                          nullptr, nullptr, &startup, &process))
        return false;
    ::CloseHandle(process.hThread);
    hProcess.Reset(process.hProcess);
    if (pdwProcessId)
        *pdwProcessId = process.dwProcessId;
    return true;
}
