// COREDLL.dll's core: the program's image, the report of violations and the thunks into the
// program's functions.
#define PERSONALITY_CORE
#include "personality/Coredll.h"

#include <cstdarg>
#include <cstddef>
#include <new>
#include <cstdio>

namespace {

HINSTANCE g_hProgram = nullptr;
LONG g_nViolations = 0;

void WriteError(const char* pszText, int cch) {
    DWORD dwWritten = 0;
    ::WriteFile(::GetStdHandle(STD_ERROR_HANDLE), pszText, static_cast<DWORD>(cch), &dwWritten,
                nullptr);
}

// Where a function lies, as the program's map would name it.
void DescribeAddress(const void* pAddress, char* pszOut, size_t cchOut) {
    const auto address = reinterpret_cast<DWORD_PTR>(pAddress);
    const auto base = reinterpret_cast<DWORD_PTR>(g_hProgram);
    if (g_hProgram && address >= base)
        std::snprintf(pszOut, cchOut, "program+0x%lx", static_cast<unsigned long>(address - base));
    else
        std::snprintf(pszOut, cchOut, "0x%08lx", static_cast<unsigned long>(address));
}

// Before a call reaches the program: nonzero when it is not to, with the caller's result.
using Filter = int(__cdecl*)(const DWORD* pArguments, LRESULT* pResult);

// The handheld sends no message of a window's non-client area (its windows have none of their
// own); Wine's window manager does, and a program may not rely on one.
bool IsNonClientMessage(UINT message) {
    return (message >= WM_NCCREATE && message <= WM_NCACTIVATE) ||
           (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK) ||
           message == WM_NCMOUSEHOVER || message == WM_NCMOUSELEAVE;
}

int __cdecl LeaveToDefWindowProc(const DWORD* pArguments, LRESULT* pResult) {
    const auto message = static_cast<UINT>(pArguments[1]);
    if (!IsNonClientMessage(message))
        return 0;
    *pResult = ::DefWindowProcW(reinterpret_cast<HWND>(pArguments[0]), message, pArguments[2],
                                static_cast<LPARAM>(pArguments[3]));
    return 1;
}

int __cdecl LeaveToDialogManager(const DWORD* pArguments, LRESULT* pResult) {
    *pResult = FALSE;
    return IsNonClientMessage(static_cast<UINT>(pArguments[1]));
}

struct KindOfCallback {
    const char* pszName;
    int nWords;
    Filter pfnFilter;
};

// By PersonalityKind.
constexpr KindOfCallback kKinds[] = {
    {"program entry", 4, nullptr},
    {"thread procedure", 1, nullptr},
    {"window procedure", 4, LeaveToDefWindowProc},
    {"window procedure", 4, nullptr},
    {"dialog procedure", 4, LeaveToDialogManager},
    {"page dialog procedure", 4, LeaveToDialogManager},
    {"sheet callback", 3, nullptr},
    {"page callback", 3, nullptr},
    {"window enumerator", 2, nullptr},
    {"timer procedure", 4, nullptr},
};
static_assert(sizeof kKinds / sizeof kKinds[0] == kTimerProcedure + 1);

// A thunk: "movl $record, %ecx" then "jmp _PersonalityThunkDispatch", in executable memory. The
// dispatch reads the record's first members by their offsets.
struct ThunkRecord {
    void* pfnProgram;
    int nWords;
    const char* pszKind;
    Filter pfnFilter;
};
static_assert(offsetof(ThunkRecord, nWords) == 4 && offsetof(ThunkRecord, pfnFilter) == 12);

#pragma pack(push, 1)
struct ThunkCode {
    BYTE movEcx = 0xB9;
    ThunkRecord* pRecord;
    BYTE jmp = 0xE9;
    LONG nRelative;
    BYTE pad[6] = {0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC};
};
#pragma pack(pop)
static_assert(sizeof(ThunkCode) == 16);

// The program has a handful of callbacks; a run that made this many would be a leak of its own.
constexpr int kMaxThunks = 1024;
ThunkRecord g_records[kMaxThunks];
ThunkCode* g_pCode = nullptr;
int g_nThunks = 0;
SRWLOCK g_thunkLock = SRWLOCK_INIT;

} // namespace

extern "C" void PersonalityThunkDispatch();

// Called by the dispatch when the program's function removed its own arguments: on the handheld
// its caller removes them again, and the stack is corrupt from here on.
extern "C" __attribute__((used)) void __cdecl PersonalityStackFault(const ThunkRecord* pRecord,
                                                                    int nBytes) {
    char szWhere[32];
    DescribeAddress(pRecord->pfnProgram, szWhere, sizeof szWhere);
    PersonalityViolation(pRecord->pszKind,
                         "%s removed %d bytes of its own arguments (the desktop's convention); "
                         "the handheld's caller removes them again: the stack is corrupt",
                         szWhere, nBytes);
    ::TerminateProcess(::GetCurrentProcess(), personality::kViolationExit);
}

extern "C" {

void __cdecl PersonalityStart(HINSTANCE hProgram) { g_hProgram = hProgram; }

void __cdecl PersonalityViolation(const char* pszCall, const char* pszFormat, ...) {
    char szLine[512];
    int cch = std::snprintf(szLine, sizeof szLine, "handheld: %s: ", pszCall);
    va_list args;
    va_start(args, pszFormat);
    cch +=
        std::vsnprintf(szLine + cch, sizeof szLine - static_cast<size_t>(cch) - 1, pszFormat, args);
    va_end(args);
    if (cch > static_cast<int>(sizeof szLine) - 2)
        cch = static_cast<int>(sizeof szLine) - 2;
    szLine[cch++] = '\n';
    ::InterlockedIncrement(&g_nViolations);
    WriteError(szLine, cch);
}

int __cdecl PersonalityViolations() { return static_cast<int>(g_nViolations); }

void* __cdecl PersonalityCallback(void* pfnProgram, PersonalityKind kind) {
    if (!pfnProgram)
        return nullptr;
    const KindOfCallback& kindOf = kKinds[kind];
    ::AcquireSRWLockExclusive(&g_thunkLock);
    void* pThunk = nullptr;
    for (int n = 0; n < g_nThunks && !pThunk; ++n)
        if (g_records[n].pfnProgram == pfnProgram && g_records[n].pszKind == kindOf.pszName &&
            g_records[n].pfnFilter == kindOf.pfnFilter)
            pThunk = &g_pCode[n];
    if (!pThunk && !g_pCode)
        g_pCode = static_cast<ThunkCode*>(::VirtualAlloc(nullptr, kMaxThunks * sizeof(ThunkCode),
                                                         MEM_RESERVE | MEM_COMMIT,
                                                         PAGE_EXECUTE_READWRITE));
    if (!pThunk && g_pCode && g_nThunks < kMaxThunks) {
        const int n = g_nThunks++;
        g_records[n] = {pfnProgram, kindOf.nWords, kindOf.pszName, kindOf.pfnFilter};
        ThunkCode* const pCode = new (&g_pCode[n]) ThunkCode;
        pCode->pRecord = &g_records[n];
        pCode->nRelative =
            reinterpret_cast<LONG>(&PersonalityThunkDispatch) - reinterpret_cast<LONG>(&pCode->pad);
        pThunk = pCode;
    }
    ::ReleaseSRWLockExclusive(&g_thunkLock);
    return pThunk;
}

void* __cdecl PersonalityOriginal(void* pfn) {
    void* pfnProgram = pfn;
    ::AcquireSRWLockShared(&g_thunkLock);
    for (int n = 0; n < g_nThunks; ++n)
        if (&g_pCode[n] == pfn)
            pfnProgram = g_records[n].pfnProgram;
    ::ReleaseSRWLockShared(&g_thunkLock);
    return pfnProgram;
}

} // extern "C"

HINSTANCE ProgramInstance() { return g_hProgram; }
