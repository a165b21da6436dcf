#include "ui/framework/PropertyPage.h"
#include "ui/framework/WinApp.h"

const CRuntimeClass CPropertyPage::classCPropertyPage = {L"CPropertyPage", 0xFFFF, nullptr,
                                                         &CDialog::classCDialog};

const CRuntimeClass* CPropertyPage::GetRuntimeClass() const { return &classCPropertyPage; }

BEGIN_MESSAGE_MAP(CPropertyPage, CDialog)
END_MESSAGE_MAP()

CPropertyPage::CPropertyPage(UINT nIDTemplate, UINT nIDCaption) : CDialog(nIDTemplate) {
    Construct(nIDTemplate, nIDCaption);
}

void CPropertyPage::Construct(UINT nIDTemplate, UINT nIDCaption) {
    m_nIDTemplate = nIDTemplate;
    m_strCaption.Empty();
    if (nIDCaption != 0)
        m_strCaption.LoadString(nIDCaption);

    m_psp = {};
    m_psp.dwSize = sizeof(m_psp);
    m_psp.dwFlags = nIDCaption != 0 ? PSP_USETITLE : PSP_DEFAULT;
    m_psp.hInstance = AfxGetInstanceHandle();
    m_psp.pszTemplate = MAKEINTRESOURCEW(nIDTemplate);
    m_psp.pszTitle = m_strCaption;
    m_psp.pfnDlgProc = PageProc;
    m_psp.lParam = reinterpret_cast<LPARAM>(static_cast<CDialog*>(this));
}

void CPropertyPage::OnOK() { Default(); }

void CPropertyPage::OnCancel() { Default(); }

BOOL CPropertyPage::OnKillActive() { return UpdateData(TRUE) ? FALSE : TRUE; }

BOOL CPropertyPage::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    if (message == WM_NOTIFY) {
        const NMHDR* pNMHDR = reinterpret_cast<const NMHDR*>(lParam);
        // Only the page's own sheet speaks for the sheet.
        if (pNMHDR->hwndFrom == ::GetParent(m_hWnd)) {
            if (pNMHDR->code == PSN_KILLACTIVE) {
                *pResult = OnKillActive();
                return TRUE;
            }
            if (pNMHDR->code == PSN_APPLY) {
                *pResult = PSNRET_NOERROR;
                return TRUE;
            }
        }
    }
    return CDialog::OnWndMsg(message, wParam, lParam, pResult);
}

// The sheet passes its copy of m_psp with WM_INITDIALOG; its lParam is the page.
INT_PTR CALLBACK CPropertyPage::PageProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG)
        lParam = reinterpret_cast<const platform::SheetPage*>(lParam)->lParam;
    return DialogProc(hWnd, message, wParam, lParam);
}
