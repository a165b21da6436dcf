#include "ui/framework/Dialog.h"
#include "platform/HandheldForms.h"
#include "ui/framework/Internal.h"
#include "ui/framework/WinApp.h"

namespace {

// The given parent, else the thread's active window, else the application's main window.
HWND OwnerFor(const CWnd* pParentWnd) {
    if (pParentWnd && pParentWnd->m_hWnd)
        return pParentWnd->m_hWnd;
    if (const HWND hActive = ::GetActiveWindow())
        return hActive;
    const CWinApp* pApp = AfxGetApp();
    return pApp && pApp->m_pMainWnd ? pApp->m_pMainWnd->m_hWnd : nullptr;
}

} // namespace

const CRuntimeClass CDialog::classCDialog = {L"CDialog", 0xFFFF, nullptr, &CWnd::classCWnd};

const CRuntimeClass* CDialog::GetRuntimeClass() const { return &classCDialog; }

BEGIN_MESSAGE_MAP(CDialog, CWnd)
ON_COMMAND(IDOK, OnOK)
ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd) {}

INT_PTR CDialog::DoModal() {
    AfxInitCommonControls();
    return ::DialogBoxParamW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(m_nIDTemplate),
                             OwnerFor(m_pParentWnd), DialogProc, reinterpret_cast<LPARAM>(this));
}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate) {
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return TRUE;
}

void CDialog::EndDialog(int nResult) { ::EndDialog(m_hWnd, nResult); }

void CDialog::DoDataExchange(CDataExchange*) {}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    if (UpdateData(TRUE))
        EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

HBRUSH CDialog::OnCtlColor(HDC hDC, HWND hWndCtl, UINT nCtlColor) {
    // The dialog manager hands the request to this dialog's procedure first, which declines it
    // while the flag is set; the manager then answers with its own colours.
    const bool bOuter = m_bAskingDialogManager;
    m_bAskingDialogManager = true;
    const LRESULT brush =
        ::DefDlgProcW(m_hWnd, WM_CTLCOLORMSGBOX + nCtlColor, reinterpret_cast<WPARAM>(hDC),
                      reinterpret_cast<LPARAM>(hWndCtl));
    m_bAskingDialogManager = bOuter;
    return reinterpret_cast<HBRUSH>(brush);
}

// The one place that turns a handler's result into what the dialog manager expects: most
// results travel in DWLP_MSGRESULT, a control-colour brush is the procedure's own return value.
INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        CDialog* const pDlg = reinterpret_cast<CDialog*>(lParam);
        ::SetWindowLongPtrW(hWnd, DWLP_USER, reinterpret_cast<LONG_PTR>(pDlg));
        pDlg->m_hWnd = hWnd;
        const CurrentMessageScope scope;
        return pDlg->OnInitDialog();
    }
    CDialog* const pDlg = reinterpret_cast<CDialog*>(::GetWindowLongPtrW(hWnd, DWLP_USER));
    if (!pDlg) // messages before WM_INITDIALOG
        return FALSE;
    if (message == platform::kWindowDestroyMessage) {
        pDlg->m_hWnd = nullptr;
        ::SetWindowLongPtrW(hWnd, DWLP_USER, 0);
        return FALSE;
    }
    if (IsCtlColor(message) && pDlg->m_bAskingDialogManager)
        return FALSE; // OnCtlColor wants the dialog manager's own answer
    LRESULT result = 0;
    if (!AfxRouteMessage(*pDlg, message, wParam, lParam, &result))
        return FALSE;
    if (IsCtlColor(message))
        return static_cast<INT_PTR>(result);
    ::SetWindowLongPtrW(hWnd, DWLP_MSGRESULT, result);
    return TRUE;
}
