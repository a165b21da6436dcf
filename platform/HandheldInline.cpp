// Calls the handheld's own headers compile inline, over what its system library exports. Built
// with a desktop's headers, the system's code calls them through import slots instead; the
// handheld's system library exports no such names, so this file fills each slot with what those
// headers do. The slots' names are those of the handheld's 32-bit x86 calls, which carry no @N.
#include <windows.h>

#include <cwchar>

extern "C" {
__declspec(dllimport) BOOL WINAPI EventModify(HANDLE hEvent, DWORD dwFunction);
__declspec(dllimport) DWORD WINAPI TlsCall(DWORD dwFunction, DWORD dwSlot);
}

namespace {

// The handheld's event functions and thread-local storage calls.
constexpr DWORD kEventSet = 3;
constexpr DWORD kTlsAlloc = 0;
// The handheld's handle for the calling process, a constant there.
const HANDLE kCurrentProcess = reinterpret_cast<HANDLE>(66);

BOOL WINAPI SetEventInline(HANDLE hEvent) { return EventModify(hEvent, kEventSet); }

DWORD WINAPI TlsAllocInline() { return TlsCall(kTlsAlloc, 0); }

HANDLE WINAPI GetCurrentProcessInline() { return kCurrentProcess; }

int WINAPI LstrlenInline(LPCWSTR psz) { return static_cast<int>(std::wcslen(psz)); }

INT_PTR WINAPI DialogBoxParamInline(HINSTANCE hInstance, LPCWSTR pszTemplate, HWND hParent,
                                    DLGPROC pfnDialog, LPARAM lInit) {
    const HRSRC hResource = ::FindResourceW(hInstance, pszTemplate, RT_DIALOG);
    const auto* const pTemplate =
        static_cast<LPCDLGTEMPLATEW>(hResource ? ::LoadResource(hInstance, hResource) : nullptr);
    return ::DialogBoxIndirectParamW(hInstance, pTemplate, hParent, pfnDialog, lInit);
}

} // namespace

extern "C" {
decltype(&SetEventInline) g_pSetEvent asm("__imp__SetEvent") = SetEventInline;
decltype(&TlsAllocInline) g_pTlsAlloc asm("__imp__TlsAlloc") = TlsAllocInline;
decltype(&GetCurrentProcessInline)
    g_pGetCurrentProcess asm("__imp__GetCurrentProcess") = GetCurrentProcessInline;
decltype(&LstrlenInline) g_pLstrlen asm("__imp__lstrlenW") = LstrlenInline;
decltype(&DialogBoxParamInline)
    g_pDialogBoxParam asm("__imp__DialogBoxParamW") = DialogBoxParamInline;
}
