// The handheld personality with a handheld program of its own (handheld-probe): clean, or making a
// documented use, the probe's every call and callback does what the handheld's does and nothing
// is reported; with each fault planted, in its calls or in its image, exactly that fault's
// "handheld:" line, and a failed run.
#include "harness/Program.h"
#include "harness/Wait.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using platform::UniqueHandle;

// The handheld build of the tests' build tree: the personality and its programs.
const std::wstring kLoader = L"..\\handheld\\bin\\handheld-loader.exe";
const std::wstring kProbe = L"..\\handheld\\bin\\handheld-probe.exe";

// A fault planted in a copy of the probe's image, which the handheld's loader checks.
enum class Patch { None, NewerSystem, Library, NoRelocations, LargeStack, OwnOrdinal };

// The first ordinal of the personality's own exports, which no program may bind.
constexpr WORD kFirstOwnOrdinal = 60001;

// The file offset of an image address, through the section that holds it.
DWORD FileOffset(const IMAGE_NT_HEADERS32& nt, DWORD rva) {
    const IMAGE_SECTION_HEADER* const pSections = IMAGE_FIRST_SECTION(&nt);
    for (WORD n = 0; n < nt.FileHeader.NumberOfSections; ++n)
        if (rva >= pSections[n].VirtualAddress &&
            rva - pSections[n].VirtualAddress < pSections[n].SizeOfRawData)
            return rva - pSections[n].VirtualAddress + pSections[n].PointerToRawData;
    return 0;
}

// Points each of the image's imports by ordinal at the personality's first own export.
void BindOwnOrdinal(std::vector<BYTE>& bytes, const IMAGE_NT_HEADERS32& nt) {
    const DWORD rvaImports =
        nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    for (auto* pImport = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(
             bytes.data() + FileOffset(nt, rvaImports));
         pImport->Name; ++pImport)
        for (const DWORD rvaThunks : {pImport->OriginalFirstThunk, pImport->FirstThunk})
            for (auto* pThunk = reinterpret_cast<IMAGE_THUNK_DATA32*>(bytes.data() +
                                                                      FileOffset(nt, rvaThunks));
                 rvaThunks && pThunk->u1.Ordinal; ++pThunk)
                if (IMAGE_SNAP_BY_ORDINAL32(pThunk->u1.Ordinal))
                    pThunk->u1.Ordinal = IMAGE_ORDINAL_FLAG32 | kFirstOwnOrdinal;
}

// The probe as the patch leaves it: its own path, or a patched copy's.
std::wstring PatchedProbe(Patch patch) {
    const std::wstring strProbe = BinPath(kProbe);
    if (patch == Patch::None)
        return strProbe;
    std::vector<BYTE> bytes(16 * 1024 * 1024);
    DWORD cbBytes = 0;
    const UniqueHandle hProbe(::CreateFileW(strProbe.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                            nullptr, OPEN_EXISTING, 0, nullptr));
    if (!hProbe || !::ReadFile(hProbe.Get(), bytes.data(), static_cast<DWORD>(bytes.size()),
                               &cbBytes, nullptr))
        return L"";
    auto& nt = *reinterpret_cast<IMAGE_NT_HEADERS32*>(
        bytes.data() + reinterpret_cast<const IMAGE_DOS_HEADER*>(bytes.data())->e_lfanew);
    if (patch == Patch::NewerSystem)
        nt.OptionalHeader.MajorSubsystemVersion = 5;
    if (patch == Patch::Library)
        nt.FileHeader.Characteristics |= IMAGE_FILE_DLL;
    if (patch == Patch::NoRelocations)
        nt.FileHeader.Characteristics |= IMAGE_FILE_RELOCS_STRIPPED;
    if (patch == Patch::LargeStack)
        nt.OptionalHeader.SizeOfStackReserve = 2 * 1024 * 1024;
    if (patch == Patch::OwnOrdinal)
        BindOwnOrdinal(bytes, nt);
    WCHAR szTemp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, szTemp);
    const std::wstring strPatched = std::wstring(szTemp) + L"handheld-probe-patched.exe";
    const UniqueHandle hPatched(
        ::CreateFileW(strPatched.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD cbWritten = 0;
    if (!hPatched || !::WriteFile(hPatched.Get(), bytes.data(), cbBytes, &cbWritten, nullptr))
        return L"";
    return strPatched;
}

struct ProbeRun {
    DWORD dwExitCode = 0xFFFFFFFF;
    std::string strErrors;
};

// Runs the probe under the personality with the fault, its standard error read to the end.
ProbeRun RunProbe(const std::wstring& strFault, Patch patch = Patch::None) {
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
    if (!StartProgram(kLoader, L"\"" + PatchedProbe(patch) + L"\" " + strFault, hProcess, nullptr,
                      &stdHandles))
        return run;
    hErrorsEnd.Reset();
    char buffer[512];
    DWORD cbRead = 0;
    while (::ReadFile(hErrors.Get(), buffer, sizeof buffer, &cbRead, nullptr) && cbRead)
        run.strErrors.append(buffer, cbRead);
    if (::WaitForSingleObject(hProcess.Get(), ScaledTimeout(30000)) == WAIT_OBJECT_0)
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
        Patch patch;
        const char* pszLine; // the one line expected, from its start; none for a documented use
    } rows[] = {
        {L"desktop-callback", Patch::None, "handheld: window procedure: program+0x"},
        {L"sheet-52", Patch::None, "handheld: PropertySheetW: header dwSize 52"},
        {L"string-zero-length", Patch::None,
         "handheld: LoadStringW: string 1 with a buffer of 0 characters"},
        {L"menu-on-top-level", Patch::None, "handheld: CreateWindowExW: hMenu "},
        {L"icc-flag", Patch::None, "handheld: InitCommonControlsEx: dwICC 0x400c"},
        {L"message-box-buttons", Patch::None, "handheld: MessageBoxW: buttons 7"},
        {L"message-box-icon", Patch::None, "handheld: MessageBoxW: icon 0x50"},
        {L"send-timeout-flags", Patch::None, "handheld: SendMessageTimeout: flags 0x2"},
        {L"message-box-text", Patch::None,
         "handheld: GetDlgItemTextW: control 65535 of a message box"},
        {L"", Patch::NewerSystem, "handheld: loader: it asks for the system version 5.20"},
        {L"", Patch::Library, "handheld: loader: a library, not a program"},
        {L"", Patch::NoRelocations, "handheld: loader: it is linked for 0x"},
        {L"", Patch::LargeStack, "handheld: loader: stack of 2097152 bytes"},
        {L"", Patch::OwnOrdinal,
         "handheld: loader: it imports what its library does not export: ordinal 60001"},
        // Every run binds by ordinal and answers the sheet's version and title questions.
        {L"icc-documented", Patch::None, nullptr},
        {L"class-documented", Patch::None, nullptr},
        {L"page-documented", Patch::None, nullptr},
        {L"message-box-documented", Patch::None, nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message()
                     << "fault " << std::string(row.pszFault, row.pszFault + wcslen(row.pszFault))
                     << " patch " << static_cast<int>(row.patch));
        const ProbeRun run = RunProbe(row.pszFault, row.patch);
        if (!row.pszLine) {
            EXPECT_EQ(run.dwExitCode, 0u) << "the probe's first failed check, or 86 for a breach";
            EXPECT_EQ(run.strErrors, "");
            continue;
        }
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
