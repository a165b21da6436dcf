// The handheld's loader, as a desktop program: handheld-loader PROGRAM [ARGUMENTS]
//                                           handheld-loader --reset
//
// Maps a program built for the handheld (32-bit x86, subsystem Windows CE of a version no newer
// than the handheld's, not a library) where the handheld places every program, at 0x10000,
// binds its imports by name or ordinal to the personality's COREDLL.dll and COMMCTRL.dll beside
// this loader (and refuses any other library), and calls its entry as the handheld does: on a
// thread with the program's stack, at most 1 MB, by the C convention, with the image's instance,
// 0, the command line and SW_SHOW. The process ends when the entry returns, whatever other
// threads still run, with the entry's value; or with 86 when the program returned 0 but broke one
// of the handheld's contracts. With --reset the handheld resets instead: its registry comes back
// as last flushed.
#include "personality/Personality.h"
#include "platform/Handle.h"

#include <cstdio>
#include <cwchar>
#include <memory>

namespace {

using platform::UniqueHandle;

// The handheld's libraries, the only ones its programs may import from.
constexpr LPCWSTR kLibraries[] = {L"COREDLL.dll", L"COMMCTRL.dll"};

// The largest program the loader takes: far more than any handheld program of ours.
constexpr DWORD kMaxFileBytes = 16 * 1024 * 1024;

// The handheld's system version, the newest a program may ask for.
constexpr WORD kSystemMajor = 4;
constexpr WORD kSystemMinor = 20;

// Where the handheld places every program in its process's slot, moving one linked elsewhere.
constexpr DWORD kProgramBase = 0x10000;

using Entry = int(WINAPI*)(HINSTANCE, HINSTANCE, LPWSTR, int);

struct FileImage {
    std::unique_ptr<BYTE[]> pBytes;
    DWORD cbBytes = 0;
    // Open while the program runs, as the handheld's loader keeps it to page the code in: the
    // file cannot be deleted or replaced meanwhile.
    UniqueHandle hFile;
};

bool Refuse(const char* pszWhy, const char* pszDetail = "") {
    PersonalityViolation("loader", "%s%s: the handheld refuses to start it", pszWhy, pszDetail);
    return false;
}

bool ReadProgram(LPCWSTR pszPath, FileImage& file) {
    file.hFile.Reset(
        ::CreateFileW(pszPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    const UniqueHandle& hFile = file.hFile;
    const DWORD cbFile = hFile ? ::GetFileSize(hFile.Get(), nullptr) : INVALID_FILE_SIZE;
    if (cbFile == INVALID_FILE_SIZE || cbFile > kMaxFileBytes)
        return Refuse("the program cannot be read");
    file.pBytes.reset(new BYTE[cbFile]);
    file.cbBytes = cbFile;
    DWORD cbRead = 0;
    if (!::ReadFile(hFile.Get(), file.pBytes.get(), cbFile, &cbRead, nullptr) || cbRead != cbFile)
        return Refuse("the program cannot be read");
    return true;
}

// The file's headers, when they describe a whole 32-bit x86 program of the handheld's subsystem.
bool ProgramHeaders(const FileImage& file, const IMAGE_NT_HEADERS32*& pHeaders) {
    const BYTE* const pBytes = file.pBytes.get();
    const auto* const pDos = reinterpret_cast<const IMAGE_DOS_HEADER*>(pBytes);
    if (file.cbBytes < sizeof(IMAGE_DOS_HEADER) || pDos->e_magic != IMAGE_DOS_SIGNATURE ||
        pDos->e_lfanew < 0 ||
        static_cast<DWORD>(pDos->e_lfanew) > file.cbBytes - sizeof(IMAGE_NT_HEADERS32))
        return Refuse("not a program");
    const auto* const pNt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(pBytes + pDos->e_lfanew);
    if (pNt->Signature != IMAGE_NT_SIGNATURE ||
        pNt->FileHeader.Machine != IMAGE_FILE_MACHINE_I386 ||
        pNt->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC)
        return Refuse("not a 32-bit x86 program");
    const IMAGE_OPTIONAL_HEADER32& optional = pNt->OptionalHeader;
    if (optional.Subsystem != IMAGE_SUBSYSTEM_WINDOWS_CE_GUI)
        return Refuse("not of the handheld's subsystem");
    if (optional.MajorSubsystemVersion > kSystemMajor ||
        (optional.MajorSubsystemVersion == kSystemMajor &&
         optional.MinorSubsystemVersion > kSystemMinor)) {
        char szVersion[48];
        std::snprintf(szVersion, sizeof szVersion, "%u.%02u, newer than %u.%02u",
                      optional.MajorSubsystemVersion, optional.MinorSubsystemVersion, kSystemMajor,
                      kSystemMinor);
        return Refuse("it asks for the system version ", szVersion);
    }
    if (pNt->FileHeader.Characteristics & IMAGE_FILE_DLL)
        return Refuse("a library, not a program");
    const DWORD cbSections = pNt->FileHeader.NumberOfSections * sizeof(IMAGE_SECTION_HEADER);
    const DWORD offSections = static_cast<DWORD>(pDos->e_lfanew) +
                              offsetof(IMAGE_NT_HEADERS32, OptionalHeader) +
                              pNt->FileHeader.SizeOfOptionalHeader;
    if (offSections + cbSections > file.cbBytes ||
        pNt->OptionalHeader.SizeOfHeaders > pNt->OptionalHeader.SizeOfImage ||
        pNt->OptionalHeader.SizeOfHeaders > file.cbBytes)
        return Refuse("damaged headers");
    pHeaders = pNt;
    return true;
}

// The image in memory: its base, its size, and a pointer at a relative address within it.
struct Image {
    BYTE* pBase = nullptr;
    DWORD cbImage = 0;

    template <typename T> T* At(DWORD rva, DWORD cb = sizeof(T)) const {
        return rva <= cbImage && cb <= cbImage - rva ? reinterpret_cast<T*>(pBase + rva) : nullptr;
    }
};

bool CanMove(const IMAGE_NT_HEADERS32& nt) {
    return nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_BASERELOC].Size &&
           !(nt.FileHeader.Characteristics & IMAGE_FILE_RELOCS_STRIPPED);
}

bool MapSections(const FileImage& file, const IMAGE_NT_HEADERS32& nt, Image& image) {
    if (!CanMove(nt) && nt.OptionalHeader.ImageBase != kProgramBase) {
        char szBase[64];
        std::snprintf(szBase, sizeof szBase, "0x%lx without relocations, where it must be at 0x%lx",
                      nt.OptionalHeader.ImageBase, kProgramBase);
        return Refuse("it is linked for ", szBase);
    }
    const DWORD cbImage = nt.OptionalHeader.SizeOfImage;
    void* const pBase = ::VirtualAlloc(reinterpret_cast<void*>(kProgramBase), cbImage,
                                       MEM_RESERVE | MEM_COMMIT, PAGE_EXECUTE_READWRITE);
    if (!pBase)
        return Refuse("no room for the image at 0x10000");
    image = {static_cast<BYTE*>(pBase), cbImage};
    ::CopyMemory(image.pBase, file.pBytes.get(), nt.OptionalHeader.SizeOfHeaders);

    const auto* pSection = IMAGE_FIRST_SECTION(&nt);
    for (WORD n = 0; n < nt.FileHeader.NumberOfSections; ++n, ++pSection) {
        const DWORD cbRaw =
            pSection->SizeOfRawData < pSection->Misc.VirtualSize || !pSection->Misc.VirtualSize
                ? pSection->SizeOfRawData
                : pSection->Misc.VirtualSize;
        BYTE* const pTarget = image.At<BYTE>(pSection->VirtualAddress, cbRaw);
        if (!pTarget || pSection->PointerToRawData > file.cbBytes ||
            cbRaw > file.cbBytes - pSection->PointerToRawData)
            return Refuse("a section outside the file or the image");
        ::CopyMemory(pTarget, file.pBytes.get() + pSection->PointerToRawData, cbRaw);
    }
    return true;
}

// Moves every absolute address by the distance between the image's base and the one it was
// linked for; the handheld's x86 programs have 32-bit ones only.
bool Relocate(const IMAGE_NT_HEADERS32& nt, const Image& image) {
    const DWORD delta =
        static_cast<DWORD>(reinterpret_cast<DWORD_PTR>(image.pBase)) - nt.OptionalHeader.ImageBase;
    if (delta == 0)
        return true;
    const IMAGE_DATA_DIRECTORY& directory =
        nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_BASERELOC];
    DWORD offBlock = 0;
    while (offBlock + sizeof(IMAGE_BASE_RELOCATION) <= directory.Size) {
        const auto* const pBlock =
            image.At<IMAGE_BASE_RELOCATION>(directory.VirtualAddress + offBlock);
        if (!pBlock || pBlock->SizeOfBlock < sizeof(IMAGE_BASE_RELOCATION) ||
            pBlock->SizeOfBlock > directory.Size - offBlock)
            return Refuse("damaged relocations");
        const auto* const pEntries = reinterpret_cast<const WORD*>(pBlock + 1);
        const DWORD nEntries = (pBlock->SizeOfBlock - sizeof(IMAGE_BASE_RELOCATION)) / sizeof(WORD);
        for (DWORD n = 0; n < nEntries; ++n) {
            const int nType = pEntries[n] >> 12;
            if (nType == IMAGE_REL_BASED_ABSOLUTE)
                continue;
            DWORD* const pWord = image.At<DWORD>(pBlock->VirtualAddress + (pEntries[n] & 0xFFF));
            if (nType != IMAGE_REL_BASED_HIGHLOW || !pWord)
                return Refuse("damaged relocations");
            *pWord += delta;
        }
        offBlock += pBlock->SizeOfBlock;
    }
    return true;
}

// The handheld's library of that name, from beside this loader; nullptr for any other.
HMODULE LoadHandheldLibrary(const char* pszName) {
    WCHAR szLoader[MAX_PATH];
    const DWORD cch = ::GetModuleFileNameW(nullptr, szLoader, MAX_PATH);
    if (!cch || cch >= MAX_PATH)
        return nullptr;
    WCHAR* const pszSlash = std::wcsrchr(szLoader, L'\\');
    for (const LPCWSTR pszLibrary : kLibraries) {
        WCHAR szWide[MAX_PATH] = {};
        ::MultiByteToWideChar(CP_ACP, 0, pszName, -1, szWide, MAX_PATH - 1);
        if (_wcsicmp(szWide, pszLibrary) != 0)
            continue;
        if (!pszSlash || (pszSlash - szLoader) + std::wcslen(pszLibrary) + 2 > MAX_PATH)
            return nullptr;
        std::wcscpy(pszSlash + 1, pszLibrary);
        return ::LoadLibraryW(szLoader);
    }
    return nullptr;
}

// An import by name, or by an ordinal of the library's table (coredll.exports): the handheld's
// own ordinals are not documented, so a program bound by ordinal is bound to the personality's.
// The personality's own exports, from kFirstOwnOrdinal, are no handheld's: no program binds them.
FARPROC BindImport(HMODULE hLibrary, const IMAGE_THUNK_DATA32& name, const Image& image) {
    char szImport[16] = "?";
    const char* pszImport = szImport;
    FARPROC pfn = nullptr;
    if (IMAGE_SNAP_BY_ORDINAL32(name.u1.Ordinal)) {
        const WORD wOrdinal = IMAGE_ORDINAL32(name.u1.Ordinal);
        std::snprintf(szImport, sizeof szImport, "ordinal %u", wOrdinal);
        if (wOrdinal < personality::kFirstOwnOrdinal)
            pfn = ::GetProcAddress(hLibrary, MAKEINTRESOURCEA(wOrdinal));
    } else if (const auto* const pByName =
                   image.At<IMAGE_IMPORT_BY_NAME>(name.u1.AddressOfData, sizeof(WORD) + 1)) {
        pszImport = pByName->Name;
        pfn = ::GetProcAddress(hLibrary, pszImport);
    }
    if (!pfn)
        Refuse("it imports what its library does not export: ", pszImport);
    return pfn;
}

bool BindImports(const IMAGE_NT_HEADERS32& nt, const Image& image) {
    const IMAGE_DATA_DIRECTORY& directory =
        nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (DWORD off = 0; directory.Size && off + sizeof(IMAGE_IMPORT_DESCRIPTOR) <= directory.Size;
         off += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        const auto* const pImport =
            image.At<IMAGE_IMPORT_DESCRIPTOR>(directory.VirtualAddress + off);
        if (!pImport)
            return Refuse("damaged imports");
        if (!pImport->Name)
            return true;
        const char* const pszLibrary = image.At<const char>(pImport->Name, 1);
        const HMODULE hLibrary = pszLibrary ? LoadHandheldLibrary(pszLibrary) : nullptr;
        if (!hLibrary)
            return Refuse("it imports from a library the handheld does not have: ",
                          pszLibrary ? pszLibrary : "?");
        const DWORD rvaNames =
            pImport->OriginalFirstThunk ? pImport->OriginalFirstThunk : pImport->FirstThunk;
        for (DWORD n = 0;; ++n) {
            const auto* const pName = image.At<IMAGE_THUNK_DATA32>(rvaNames + n * 4);
            auto* const pSlot = image.At<IMAGE_THUNK_DATA32>(pImport->FirstThunk + n * 4);
            if (!pName || !pSlot)
                return Refuse("damaged imports");
            if (!pName->u1.AddressOfData)
                break;
            const FARPROC pfn = BindImport(hLibrary, *pName, image);
            if (!pfn)
                return false;
            pSlot->u1.Function = reinterpret_cast<DWORD>(pfn);
        }
    }
    return true;
}

// The handheld's command line holds the arguments only, without the program's name.
LPWSTR ArgumentsAfterFirst(LPWSTR pszLine) {
    bool bQuoted = false;
    while (*pszLine && (bQuoted || (*pszLine != L' ' && *pszLine != L'\t'))) {
        if (*pszLine == L'"')
            bQuoted = !bQuoted;
        ++pszLine;
    }
    while (*pszLine == L' ' || *pszLine == L'\t')
        ++pszLine;
    return pszLine;
}

// The program's path: the first argument of the loader's command line, without its quotes.
bool ProgramPath(LPWSTR pszArguments, WCHAR (&szPath)[MAX_PATH]) {
    const LPWSTR pszRest = ArgumentsAfterFirst(pszArguments);
    size_t cch = 0;
    bool bQuoted = false;
    for (LPWSTR p = pszArguments; p < pszRest && (bQuoted || (*p != L' ' && *p != L'\t')); ++p) {
        if (*p == L'"')
            bQuoted = !bQuoted;
        else if (cch + 1 < MAX_PATH)
            szPath[cch++] = *p;
    }
    szPath[cch] = 0;
    return cch > 0;
}

// A fault in the program ends the run with a line saying where, as the handheld's would end it.
LONG WINAPI ReportFault(EXCEPTION_POINTERS* pException) {
    const EXCEPTION_RECORD& record = *pException->ExceptionRecord;
    PersonalityViolation("program", "exception 0x%08lx at %p: the handheld ends the process",
                         record.ExceptionCode, record.ExceptionAddress);
    ::TerminateProcess(::GetCurrentProcess(), personality::kViolationExit);
    return EXCEPTION_CONTINUE_SEARCH;
}

// The handheld's registry has the control panel's key from the start.
void MakeHandheldKeys() {
    HKEY hKey = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, L"ControlPanel", 0, nullptr, 0, KEY_READ, nullptr,
                          &hKey, nullptr) == ERROR_SUCCESS)
        ::RegCloseKey(hKey);
}

// The stack the handheld gives the program's first thread: what the program asks for, at most
// 1 MB; a program that asks for more is given 1 MB, and reported.
SIZE_T ProgramStack(const IMAGE_NT_HEADERS32& nt) {
    const DWORD cbAsked = nt.OptionalHeader.SizeOfStackReserve;
    if (cbAsked <= personality::kMaxStackBytes)
        return cbAsked;
    PersonalityViolation("loader",
                         "stack of %lu bytes: the handheld gives a thread at most %lu, and a "
                         "program that needs more overruns it",
                         cbAsked, personality::kMaxStackBytes);
    return personality::kMaxStackBytes;
}

struct EntryCall {
    Entry pfnEntry;
    HINSTANCE hProgram;
    LPWSTR pszArguments;
    int nResult;
};

DWORD WINAPI RunEntry(LPVOID pCall) {
    auto& call = *static_cast<EntryCall*>(pCall);
    call.nResult = call.pfnEntry(call.hProgram, nullptr, call.pszArguments, SW_SHOW);
    return 0;
}

} // namespace

int main() {
    const LPWSTR pszArguments = ArgumentsAfterFirst(::GetCommandLineW());
    if (std::wcscmp(pszArguments, L"--reset") == 0) {
        PersonalityReset();
        return 0;
    }
    WCHAR szProgram[MAX_PATH];
    if (!ProgramPath(pszArguments, szProgram)) {
        const char szUsage[] = "usage: handheld-loader PROGRAM [ARGUMENTS] | --reset\n";
        DWORD dwWritten = 0;
        ::WriteFile(::GetStdHandle(STD_ERROR_HANDLE), szUsage, sizeof szUsage - 1, &dwWritten,
                    nullptr);
        return 2;
    }

    FileImage file;
    const IMAGE_NT_HEADERS32* pNt = nullptr;
    Image image;
    if (!ReadProgram(szProgram, file) || !ProgramHeaders(file, pNt) ||
        !MapSections(file, *pNt, image) || !Relocate(*pNt, image) || !BindImports(*pNt, image))
        return personality::kViolationExit;

    const auto hProgram = reinterpret_cast<HINSTANCE>(image.pBase);
    PersonalityStart(hProgram);
    MakeHandheldKeys();
    ::SetUnhandledExceptionFilter(ReportFault);
    EntryCall call = {reinterpret_cast<Entry>(PersonalityCallback(
                          image.pBase + pNt->OptionalHeader.AddressOfEntryPoint, kProgramEntry)),
                      hProgram, ArgumentsAfterFirst(pszArguments), 0};
    const UniqueHandle hThread(::CreateThread(nullptr, ProgramStack(*pNt), RunEntry, &call,
                                              STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
    if (!hThread || ::WaitForSingleObject(hThread.Get(), INFINITE) != WAIT_OBJECT_0)
        return personality::kViolationExit;
    ::ExitProcess(call.nResult == 0 && PersonalityViolations() > 0
                      ? personality::kViolationExit
                      : static_cast<UINT>(call.nResult));
}
