#pragma once

#include <windows.h>

// What COREDLL.dll shares with the loader and COMMCTRL.dll: the program's image, the report of
// violations of the handheld's contracts, and the thunks through which a desktop's system calls
// the program's functions. Exported by plain name; the handheld has none of these names.
#ifdef PERSONALITY_CORE
#define PERSONALITY_API
#else
#define PERSONALITY_API __declspec(dllimport)
#endif

extern "C" {

// The program the loader mapped: its image's base (its instance handle and module handle).
PERSONALITY_API void __cdecl PersonalityStart(HINSTANCE hProgram);

// What a function of the program is to the system that calls it: its argument words, its name in
// a report, and for the procedures of windows and dialogs, the messages the handheld never sends.
enum PersonalityKind {
    kProgramEntry,
    kThreadProcedure,
    kWindowProcedure,   // of a class: a message the handheld does not send goes to DefWindowProcW
    kSubclassProcedure, // put in place by SetWindowLongW: every message reaches it
    kDialogProcedure,   // a message the handheld does not send is left to the dialog manager
    kPageProcedure,
    kSheetCallback,
    kPageCallback,
    kWindowEnumerator,
    kTimerProcedure,
};

// A function of the program that Wine calls with the desktop's convention (the callee removes its
// argument words): a thunk that calls pfnProgram with the handheld's (the caller removes them) and
// checks the stack afterwards. The same function of the same kind gets the same thunk.
PERSONALITY_API void* __cdecl PersonalityCallback(void* pfnProgram, PersonalityKind kind);

// The program's function behind a thunk, or pfn itself when it is none.
PERSONALITY_API void* __cdecl PersonalityOriginal(void* pfn);

// One line on standard error, "handheld: CALL: " and the rest as printf formats it: the argument
// and what the handheld does with it.
PERSONALITY_API void __cdecl PersonalityViolation(const char* pszCall, const char* pszFormat, ...)
    __attribute__((format(printf, 2, 3)));

PERSONALITY_API int __cdecl PersonalityViolations();

// A reset of the handheld: its registry comes back as the last RegFlushKey stored it.
PERSONALITY_API void __cdecl PersonalityReset();
}

namespace personality {

// A function of the program as Wine is to call it: through its thunk, typed as it was.
template <typename Function> Function Callback(Function pfnProgram, PersonalityKind kind) {
    return reinterpret_cast<Function>(
        PersonalityCallback(reinterpret_cast<void*>(pfnProgram), kind));
}

// The loader's exit code when the program returned 0 but broke a contract, and the code a run
// ends with when the handheld would have crashed.
constexpr UINT kViolationExit = 86;

// The first ordinal of the personality's own exports (make-exports.sh), which only its loader and
// COMMCTRL.dll reach: a program's import by ordinal binds below it, to a handheld name.
constexpr WORD kFirstOwnOrdinal = 60001;

// The most stack the handheld gives a thread.
constexpr DWORD kMaxStackBytes = 1024 * 1024;

// The handheld's pseudo-handles for the calling process and thread.
const HANDLE kCurrentProcess = reinterpret_cast<HANDLE>(66);
const HANDLE kCurrentThread = reinterpret_cast<HANDLE>(65);

} // namespace personality
