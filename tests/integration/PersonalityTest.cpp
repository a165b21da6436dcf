// The handheld personality with a handheld program of its own (handheld-probe): clean, the probe's
// every call and callback does what the handheld's does and nothing is reported; with each fault
// planted, exactly that fault's "handheld:" line, and a failed run.
#include "harness/Program.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using platform::UniqueHandle;

// The handheld build of the tests' build tree: the personality and its programs.
const std::wstring kLoader = L"..\\handheld\\bin\\handheld-loader.exe";
const std::wstring kProbe = L"..\\handheld\\bin\\handheld-probe.exe";

struct ProbeRun {
    DWORD dwExitCode = 0xFFFFFFFF;
    std::string strErrors;
};

// Runs the probe under the personality with the fault, its standard error read to the end.
ProbeRun RunProbe(const std::wstring& strFault) {
    ProbeRun run;
    HANDLE hRead = nullptr;
    HANDLE hWrite = nullptr;
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    if (!::CreatePipe(&hRead, &hWrite, &inherit, 0))
        return run;
    const UniqueHandle hErrors(hRead);
    UniqueHandle hErrorsEnd(hWrite);
    ::SetHandleInformation(hRead, HANDLE_FLAG_INHERIT, 0);
    const HANDLE stdHandles[3] = {nullptr, nullptr, hWrite};
    UniqueHandle hProcess;
    if (!StartProgram(kLoader, L"\"" + BinPath(kProbe) + L"\" " + strFault, hProcess, nullptr,
                      &stdHandles))
        return run;
    hErrorsEnd.Reset();
    char buffer[512];
    DWORD cbRead = 0;
    while (::ReadFile(hErrors.Get(), buffer, sizeof buffer, &cbRead, nullptr) && cbRead)
        run.strErrors.append(buffer, cbRead);
    if (::WaitForSingleObject(hProcess.Get(), 30000) == WAIT_OBJECT_0)
        ::GetExitCodeProcess(hProcess.Get(), &run.dwExitCode);
    return run;
}

int CountLines(const std::string& strText, const std::string& strStart) {
    int nLines = 0;
    for (size_t at = 0; (at = strText.find(strStart, at)) != std::string::npos; ++at)
        nLines += at == 0 || strText[at - 1] == '\n';
    return nLines;
}

TEST(PersonalityTest, ReportsExactlyThePlantedFault) {
    const struct {
        const wchar_t* pszFault;
        const char* pszLine; // the one line expected, from its start
    } rows[] = {
        {L"desktop-callback", "handheld: window procedure: program+0x"},
        {L"sheet-52", "handheld: PropertySheetW: header dwSize 52"},
        {L"string-zero-length", "handheld: LoadStringW: string 1 with a buffer of 0 characters"},
        {L"menu-on-top-level", "handheld: CreateWindowExW: hMenu "},
        {L"icc-flag", "handheld: InitCommonControlsEx: dwICC 0x400c"},
        {L"message-box-text", "handheld: GetDlgItemTextW: control 65535 of a message box"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message()
                     << "fault " << std::string(row.pszFault, row.pszFault + wcslen(row.pszFault)));
        const ProbeRun run = RunProbe(row.pszFault);
        EXPECT_NE(run.dwExitCode, 0u);
        EXPECT_EQ(CountLines(run.strErrors, "handheld:"), 1) << run.strErrors;
        EXPECT_EQ(CountLines(run.strErrors, row.pszLine), 1) << run.strErrors;
    }
}

TEST(PersonalityTest, ACleanProgramRunsWithNothingReported) {
    const ProbeRun run = RunProbe(L"");
    EXPECT_EQ(run.dwExitCode, 0u) << "the probe's first failed check, or 86 for a breach";
    EXPECT_EQ(run.strErrors, "");
}

} // namespace
