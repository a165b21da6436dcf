// A hook library the platform loads into every process that creates a window while the hook is
// set: in the application it refuses to create the pages of the sheet, so the sheet runs
// without ever initialising its first page.
#include <windows.h>

#include <cwchar>

namespace {

// The dialog class, as an atom or by its name.
bool IsDialogClass(LPCWSTR pszClass) {
    if (IS_INTRESOURCE(pszClass))
        return LOWORD(reinterpret_cast<ULONG_PTR>(pszClass)) == 0x8002;
    return std::wcscmp(pszClass, L"#32770") == 0;
}

bool InApplication() {
    WCHAR szPath[MAX_PATH] = {};
    const DWORD cch = ::GetModuleFileNameW(nullptr, szPath, MAX_PATH);
    const LPCWSTR pszName = L"muntara.exe";
    const size_t cchName = std::wcslen(pszName);
    return cch >= cchName && ::lstrcmpiW(szPath + cch - cchName, pszName) == 0;
}

} // namespace

// The pages are the application's only child dialogs; a non-zero answer refuses the creation.
extern "C" __declspec(dllexport) LRESULT CALLBACK
    RefusePages(int nCode, WPARAM wParam, LPARAM lParam) {
    if (nCode == HCBT_CREATEWND) {
        const CREATESTRUCTW* const pCreate = reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs;
        if ((pCreate->style & WS_CHILD) && IsDialogClass(pCreate->lpszClass) && InApplication())
            return 1;
    }
    return ::CallNextHookEx(nullptr, nCode, wParam, lParam);
}
