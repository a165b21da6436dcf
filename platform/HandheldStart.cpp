// The handheld program's process entry, in place of a C runtime's start-up: the handheld gives the
// entry the arguments a desktop gives wWinMain, and ends the process when the entry returns.
#include <windows.h>

#include <new>

using StaticFunction = void (*)();

// The link puts every static object's constructor between -1 and 0 here, in the reverse of the
// order they run in, as it does for a desktop's runtime.
extern "C" StaticFunction __CTOR_LIST__[];

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR pszCmdLine, int nCmdShow);

namespace {

// The program has a handful of static objects with ends; the table has room for many more.
constexpr int kMaxStaticEnds = 64;
StaticFunction g_staticEnds[kMaxStaticEnds];
int g_nStaticEnds = 0;

void ConstructStatics() {
    int nLast = 0;
    while (__CTOR_LIST__[nLast + 1])
        ++nLast;
    for (int n = nLast; n >= 1; --n)
        __CTOR_LIST__[n]();
}

// Last registered, first ended: each object ends before those made before it.
void EndStatics() {
    while (g_nStaticEnds > 0)
        g_staticEnds[--g_nStaticEnds]();
}

} // namespace

// The handheld has no C++ runtime library; the program's own allocation (LeanRuntime.cpp) is
// what a nothrow new reaches.
namespace std {
const nothrow_t nothrow{};
}

// Where the compiler registers the end of each static object as it is constructed.
extern "C" int atexit(StaticFunction pfnEnd) {
    if (g_nStaticEnds == kMaxStaticEnds)
        return -1;
    g_staticEnds[g_nStaticEnds++] = pfnEnd;
    return 0;
}

extern "C" int WINAPI HandheldEntry(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR pszCmdLine,
                                    int nCmdShow) {
    ConstructStatics();
    const int nResult = wWinMain(hInstance, hPrevInstance, pszCmdLine, nCmdShow);
    EndStatics();
    return nResult;
}
