#include "harness/Program.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

// Runs muntara-shot from the build's bin folder; false when it did not end in 30 s.
bool RunShot(const std::wstring& strArgs, DWORD& dwExitCode) {
    platform::UniqueHandle hProcess;
    if (!StartProgram(L"muntara-shot.exe", strArgs, hProcess))
        return false;
    return ::WaitForSingleObject(hProcess.Get(), 30000) == WAIT_OBJECT_0 &&
           ::GetExitCodeProcess(hProcess.Get(), &dwExitCode);
}

TEST(ShotToolTest, ExitCodesTellNoWindowFromBadUsage) {
    DWORD dwExitCode = 0;
    ASSERT_TRUE(
        RunShot(L"--caption \"No such window 7f3a\" --sheet --timeout 1 --out x.png", dwExitCode));
    EXPECT_EQ(dwExitCode, 1u);
    for (const wchar_t* pszArgs :
         {L"", L"--sheet", L"--caption", L"--caption X --tab one", L"--caption X --message --tab 1",
          L"--caption X --sheet --message", L"--caption X --frobnicate"}) {
        ASSERT_TRUE(RunShot(pszArgs, dwExitCode)) << pszArgs;
        EXPECT_EQ(dwExitCode, 2u) << pszArgs;
    }
}

} // namespace
