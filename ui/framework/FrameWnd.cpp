#include "ui/framework/FrameWnd.h"
#include "platform/Handle.h"
#include "platform/HandheldForms.h"
#include "ui/framework/Internal.h"
#include "ui/framework/WinApp.h"

namespace {

constexpr wchar_t kFrameClassName[] = L"FrameworkFrameWnd";

// Binds the window to its object on the first message that carries its CREATESTRUCT; every later
// message goes through the maps, and what they leave to DefWindowProcW, until the last one.
LRESULT CALLBACK FrameProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == platform::kWindowCreateMessage) {
        CWnd* const pWnd =
            static_cast<CWnd*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(pWnd));
        pWnd->m_hWnd = hWnd;
    }
    CWnd* const pWnd = reinterpret_cast<CWnd*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
    if (pWnd && message == platform::kWindowDestroyMessage) {
        pWnd->m_hWnd = nullptr;
        ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, 0);
    } else if (pWnd) {
        LRESULT result = 0;
        if (AfxRouteMessage(*pWnd, message, wParam, lParam, &result))
            return result;
    }
    return ::DefWindowProcW(hWnd, message, wParam, lParam);
}

// The module the frame class is registered in, nullptr when it cannot be. Registering again is
// harmless and cheap, and needs neither a one-time initialisation nor a guarded static.
HINSTANCE FrameClassModule() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = FrameProc;
    wc.hInstance = AfxGetInstanceHandle();
    // No cursor: the frame is never shown, and a handheld's image has a cursor only as an option.
    wc.hbrBackground = platform::SysColorClassBrush(COLOR_WINDOW);
    wc.lpszClassName = kFrameClassName;
    if (::RegisterClassW(&wc) || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS)
        return wc.hInstance;
    return nullptr;
}

} // namespace

const CRuntimeClass CFrameWnd::classCFrameWnd = {
    L"CFrameWnd", 0xFFFF, [] { return static_cast<CObject*>(new CFrameWnd); }, &CWnd::classCWnd};

const CRuntimeClass* CFrameWnd::GetRuntimeClass() const { return &classCFrameWnd; }

BEGIN_MESSAGE_MAP(CFrameWnd, CWnd)
END_MESSAGE_MAP()

CFrameWnd::~CFrameWnd() { DestroyWindow(); }

BOOL CFrameWnd::LoadFrame(UINT nIDResource, DWORD dwDefaultStyle, CWnd* pParentWnd, void*) {
    const HINSTANCE hModule = FrameClassModule();
    if (m_hWnd || !hModule)
        return FALSE;
    // Without the menu resource the frame still stands, menu-less, as it does where a top-level
    // window has no menu bar.
    platform::UniqueMenu menu(
        platform::kTopLevelMenus ? ::LoadMenuW(hModule, MAKEINTRESOURCEW(nIDResource)) : nullptr);
    const CWinApp* pApp = AfxGetApp();
    const LPCWSTR pszTitle = pApp && pApp->m_pszAppName ? pApp->m_pszAppName : L"";
    const DWORD dwStyle = dwDefaultStyle & ~(FWS_ADDTOTITLE | WS_VISIBLE);
    const HWND hWnd = ::CreateWindowExW(
        0, kFrameClassName, pszTitle, dwStyle, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
        CW_USEDEFAULT, pParentWnd ? pParentWnd->m_hWnd : nullptr, menu.Get(), hModule, this);
    if (!hWnd)
        return FALSE;
    menu.Release(); // the window destroys its menu
    return TRUE;
}
