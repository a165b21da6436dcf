// COREDLL.dll's kernel calls where the handheld differs from a desktop or constrains what a
// desktop does not: its pseudo-handles, its event and thread-local storage calls, the module
// handle of the program, and the security attributes it has none of.
#include "personality/Coredll.h"

#include <cwchar>

namespace {

// The handheld's EventModify functions and TlsCall functions.
constexpr DWORD kEventPulse = 1;
constexpr DWORD kEventReset = 2;
constexpr DWORD kEventSet = 3;
constexpr DWORD kTlsAlloc = 0;
constexpr DWORD kTlsFree = 1;

// The creation flags of a thread the handheld knows.
constexpr DWORD kThreadFlags = CREATE_SUSPENDED | STACK_SIZE_PARAM_IS_A_RESERVATION;

void NoSecurity(const char* pszCall, const void* pSecurity) {
    if (pSecurity)
        PersonalityViolation(
            pszCall, "security attributes %p: the handheld has none and wants NULL", pSecurity);
}

// The stack the linker gave the program, as the handheld gives it to each thread that does not
// ask for its own.
SIZE_T ProgramStack() {
    const auto* const pBase = reinterpret_cast<const BYTE*>(ProgramInstance());
    const auto* const pNt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(
        pBase + reinterpret_cast<const IMAGE_DOS_HEADER*>(pBase)->e_lfanew);
    const DWORD cbStack = pNt->OptionalHeader.SizeOfStackReserve;
    return cbStack < personality::kMaxStackBytes ? cbStack : personality::kMaxStackBytes;
}

HANDLE DesktopHandle(HANDLE hHandle) {
    if (hHandle == personality::kCurrentProcess)
        return ::GetCurrentProcess();
    if (hHandle == personality::kCurrentThread)
        return ::GetCurrentThread();
    return hHandle;
}

} // namespace

extern "C" {

BOOL __cdecl HandheldCloseHandle(HANDLE hObject) {
    return CloseDevice(hObject) || ::CloseHandle(hObject);
}

HANDLE __cdecl HandheldCreateEventW(LPSECURITY_ATTRIBUTES pSecurity, BOOL bManualReset,
                                    BOOL bInitialState, LPCWSTR pszName) {
    NoSecurity("CreateEventW", pSecurity);
    return ::CreateEventW(nullptr, bManualReset, bInitialState, pszName);
}

HANDLE __cdecl HandheldCreateMutexW(LPSECURITY_ATTRIBUTES pSecurity, BOOL bInitialOwner,
                                    LPCWSTR pszName) {
    NoSecurity("CreateMutexW", pSecurity);
    return ::CreateMutexW(nullptr, bInitialOwner, pszName);
}

HANDLE __cdecl HandheldCreateThread(LPSECURITY_ATTRIBUTES pSecurity, SIZE_T cbStack,
                                    LPTHREAD_START_ROUTINE pfnStart, LPVOID pParameter,
                                    DWORD dwFlags, LPDWORD pdwThreadId) {
    NoSecurity("CreateThread", pSecurity);
    if (cbStack != 0 && !(dwFlags & STACK_SIZE_PARAM_IS_A_RESERVATION))
        PersonalityViolation("CreateThread",
                             "stack size %lu without STACK_SIZE_PARAM_IS_A_RESERVATION: the "
                             "handheld ignores it and wants 0",
                             static_cast<unsigned long>(cbStack));
    if (dwFlags & ~kThreadFlags)
        PersonalityViolation("CreateThread", "flags 0x%lx: the handheld knows only 0x%lx", dwFlags,
                             kThreadFlags);
    if (!(dwFlags & STACK_SIZE_PARAM_IS_A_RESERVATION))
        cbStack = ProgramStack();
    return ::CreateThread(nullptr, cbStack, Callback(pfnStart, kThreadProcedure), pParameter,
                          (dwFlags & kThreadFlags) | STACK_SIZE_PARAM_IS_A_RESERVATION,
                          pdwThreadId);
}

BOOL __cdecl HandheldEventModify(HANDLE hEvent, DWORD dwFunction) {
    switch (dwFunction) {
    case kEventPulse:
        return ::PulseEvent(hEvent);
    case kEventReset:
        return ::ResetEvent(hEvent);
    case kEventSet:
        return ::SetEvent(hEvent);
    default:
        PersonalityViolation("EventModify", "function %lu: the handheld has 1 to 3 and fails",
                             dwFunction);
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
}

DWORD __cdecl HandheldTlsCall(DWORD dwFunction, DWORD dwSlot) {
    switch (dwFunction) {
    case kTlsAlloc:
        return ::TlsAlloc();
    case kTlsFree:
        return ::TlsFree(dwSlot);
    default:
        PersonalityViolation("TlsCall", "function %lu: the handheld has 0 and 1 and fails",
                             dwFunction);
        return 0;
    }
}

BOOL __cdecl HandheldTerminateProcess(HANDLE hProcess, UINT uExitCode) {
    return ::TerminateProcess(DesktopHandle(hProcess), uExitCode);
}

HMODULE __cdecl HandheldGetModuleHandleW(LPCWSTR pszModule) {
    return pszModule ? ::GetModuleHandleW(pszModule) : ProgramInstance();
}

int __cdecl Handheld_wcsicmp(const wchar_t* psz1, const wchar_t* psz2) {
    return _wcsicmp(psz1, psz2);
}

int __cdecl Handheldwcscmp(const wchar_t* psz1, const wchar_t* psz2) {
    return std::wcscmp(psz1, psz2);
}

size_t __cdecl Handheldwcslen(const wchar_t* psz) { return std::wcslen(psz); }

} // extern "C"
