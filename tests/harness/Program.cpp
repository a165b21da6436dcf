#include "harness/Program.h"

#include <tlhelp32.h>

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

int ForEachThreadOf(DWORD dwProcessId, DWORD dwAccess,
                    const std::function<void(const platform::UniqueHandle&)>& visit) {
    const platform::UniqueHandle hSnapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (hSnapshot.Get() == INVALID_HANDLE_VALUE)
        return 0;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    int nThreads = 0;
    for (BOOL bMore = ::Thread32First(hSnapshot.Get(), &entry); bMore;
         bMore = ::Thread32Next(hSnapshot.Get(), &entry)) {
        if (entry.th32OwnerProcessID != dwProcessId)
            continue;
        visit(platform::UniqueHandle(::OpenThread(dwAccess, FALSE, entry.th32ThreadID)));
        ++nThreads;
    }
    return nThreads;
}
