#pragma once

#include "ui/framework/Wnd.h"

// The application: one instance, constructed before the framework's main routine runs.
class CWinApp : public CCmdTarget {
public:
    static const CRuntimeClass classCWinApp;
    const CRuntimeClass* GetRuntimeClass() const override;

    explicit CWinApp(LPCWSTR pszAppName = nullptr);
    ~CWinApp() override;

    // Called once after static construction; FALSE ends the run.
    virtual BOOL InitInstance();
    // The message loop, for an application whose start-up returned TRUE.
    virtual int Run();
    // The process's exit code.
    virtual int ExitInstance();

    LPCWSTR m_pszAppName;
    HINSTANCE m_hInstance = nullptr;
    // Discarded (deleted) by the framework when the run ends.
    CWnd* m_pMainWnd = nullptr;

    DECLARE_MESSAGE_MAP()

private:
    // What the base ExitInstance returns: the code WM_QUIT carried, 0 before the loop ran.
    int m_nQuitCode = 0;
};

// The one application object; nullptr before it is constructed and after it is destroyed.
CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();
// The module that holds the resource of that name and type.
HINSTANCE AfxFindResourceHandle(LPCWSTR pszName, LPCWSTR pszType);

// The framework's main routine: start-up, run, discard the main window.
int AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR pszCmdLine, int nCmdShow);
