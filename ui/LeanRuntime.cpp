// What the C++ runtime would otherwise link into the program for a handful of calls: its
// operator new throws, so it brings the exception machinery; its pure-virtual handler brings the
// terminate handler with its name demangler; its guard of a function's static object (the
// message maps' tables) brings a threads library with condition variables. The program allocates
// little and never throws, so the process heap and one critical section serve instead. Linked
// into the application only.
#include <windows.h>

#include <cstdint>
#include <new>

// The compiler takes every block of a plain new as aligned for any type up to its default; the
// heap aligns blocks to MEMORY_ALLOCATION_ALIGNMENT, and the build tells the compiler so.
static_assert(__STDCPP_DEFAULT_NEW_ALIGNMENT__ <= MEMORY_ALLOCATION_ALIGNMENT,
              "operator new gives the heap's alignment");

namespace {

void* Allocate(size_t cb) { return ::HeapAlloc(::GetProcessHeap(), 0, cb ? cb : 1); }

// The exit code of a program that ended on a fault, as the C runtime's abort gives.
constexpr UINT kFaultExitCode = 3;

// A fault the program cannot go on from: it says so, as far as it still can, and ends.
[[noreturn]] void EndOnFault(LPCWSTR pszFault) {
    ::MessageBoxW(nullptr, pszFault, nullptr, MB_OK | MB_ICONSTOP);
    ::TerminateProcess(::GetCurrentProcess(), kFaultExitCode);
    for (;;)
        ::Sleep(INFINITE); // the process ends before this thread wakes
}

// A plain new that cannot allocate has nobody to tell: the program ends.
void* AllocateOrEnd(size_t cb) {
    void* const p = Allocate(cb);
    if (!p)
        EndOnFault(L"Out of memory");
    return p;
}

void Free(void* p) {
    if (p)
        ::HeapFree(::GetProcessHeap(), 0, p);
}

// One lock for every static object's first initialisation: they are few and quick. Recursive, so
// that initialising one may initialise another on the same thread. It is made by the first thread
// that needs it, before any static object may be constructed; a second thread arriving meanwhile
// waits the few instructions that takes.
enum : LONG { kLockUnmade, kLockMaking, kLockMade };
volatile LONG g_nGuardLockState = kLockUnmade;
CRITICAL_SECTION g_guardLock;

CRITICAL_SECTION& GuardLock() {
    if (::InterlockedCompareExchange(&g_nGuardLockState, kLockMaking, kLockUnmade) == kLockUnmade) {
        ::InitializeCriticalSection(&g_guardLock);
        ::InterlockedExchange(&g_nGuardLockState, kLockMade);
    }
    while (::InterlockedCompareExchange(&g_nGuardLockState, kLockMade, kLockMade) != kLockMade)
        ::Sleep(0);
    return g_guardLock;
}

// The first byte of a guard says the object stands, as the compiler's inline check reads it.
bool Initialised(const std::uint64_t* pGuard) {
    return __atomic_load_n(reinterpret_cast<const char*>(pGuard), __ATOMIC_ACQUIRE) != 0;
}

} // namespace

void* operator new(size_t cb) { return AllocateOrEnd(cb); }
void* operator new[](size_t cb) { return AllocateOrEnd(cb); }
void* operator new(size_t cb, const std::nothrow_t&) noexcept { return Allocate(cb); }
void* operator new[](size_t cb, const std::nothrow_t&) noexcept { return Allocate(cb); }
void operator delete(void* p) noexcept { Free(p); }
void operator delete[](void* p) noexcept { Free(p); }
void operator delete(void* p, size_t) noexcept { Free(p); }
void operator delete[](void* p, size_t) noexcept { Free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { Free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { Free(p); }

// A call through a vtable slot of an abstract class: a fault in the program.
extern "C" void __cxa_pure_virtual() { EndOnFault(L"Pure virtual call"); }

// A function's static object: 1 when the caller is to initialise it, holding the lock until it
// releases or aborts; 0 when it already stands.
extern "C" int __cxa_guard_acquire(std::uint64_t* pGuard) {
    if (Initialised(pGuard))
        return 0;
    ::EnterCriticalSection(&GuardLock());
    if (!Initialised(pGuard))
        return 1;
    ::LeaveCriticalSection(&GuardLock());
    return 0;
}

extern "C" void __cxa_guard_release(std::uint64_t* pGuard) {
    __atomic_store_n(reinterpret_cast<char*>(pGuard), 1, __ATOMIC_RELEASE);
    ::LeaveCriticalSection(&GuardLock());
}

extern "C" void __cxa_guard_abort(std::uint64_t*) { ::LeaveCriticalSection(&GuardLock()); }
