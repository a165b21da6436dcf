#include "ui/framework/WinApp.h"
#include "platform/HandheldForms.h"
#include "ui/framework/Internal.h"

namespace {

CWinApp* g_pApp = nullptr;

} // namespace

const CRuntimeClass CWinApp::classCWinApp = {L"CWinApp", 0xFFFF, nullptr,
                                             &CCmdTarget::classCCmdTarget};

const CRuntimeClass* CWinApp::GetRuntimeClass() const { return &classCWinApp; }

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
END_MESSAGE_MAP()

CWinApp::CWinApp(LPCWSTR pszAppName) : m_pszAppName(pszAppName) { g_pApp = this; }

CWinApp::~CWinApp() {
    if (g_pApp == this)
        g_pApp = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::Run() {
    MSG msg;
    BOOL bGot;
    while ((bGot = ::GetMessageW(&msg, nullptr, 0, 0)) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    m_nQuitCode = bGot == 0 ? static_cast<int>(msg.wParam) : -1;
    return ExitInstance();
}

int CWinApp::ExitInstance() { return m_nQuitCode; }

CWinApp* AfxGetApp() { return g_pApp; }

HINSTANCE AfxGetInstanceHandle() {
    return g_pApp && g_pApp->m_hInstance ? g_pApp->m_hInstance : ::GetModuleHandleW(nullptr);
}

HINSTANCE AfxFindResourceHandle(LPCWSTR pszName, LPCWSTR pszType) {
    const HINSTANCE hModule = AfxGetInstanceHandle();
    return ::FindResourceW(hModule, pszName, pszType) ? hModule : nullptr;
}

// Registering again is harmless and cheap; a guarded static would bring in the runtime's locks.
void AfxInitCommonControls() {
    const INITCOMMONCONTROLSEX icc = {sizeof(icc), platform::kCommonControlClasses};
    ::InitCommonControlsEx(&icc);
}

int AfxWinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR, int) {
    CWinApp* const pApp = AfxGetApp();
    if (!pApp)
        return -1;
    pApp->m_hInstance = hInstance;
    AfxInitCommonControls();
    const int nResult = pApp->InitInstance() ? pApp->Run() : pApp->ExitInstance();
    delete pApp->m_pMainWnd;
    pApp->m_pMainWnd = nullptr;
    return nResult;
}
