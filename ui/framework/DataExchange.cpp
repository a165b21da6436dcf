#include "ui/framework/DataExchange.h"
#include "ui/framework/Internal.h"

void DDX_CBIndex(CDataExchange* pDX, int nIDC, int& index) {
    const HWND hCombo = pDX->m_pDlgWnd->GetDlgItem(nIDC);
    if (!hCombo)
        return;
    if (pDX->m_bSaveAndValidate)
        index = static_cast<int>(::SendMessageW(hCombo, CB_GETCURSEL, 0, 0));
    else
        ::SendMessageW(hCombo, CB_SETCURSEL, index, 0);
}

void DDX_Text(CDataExchange* pDX, int nIDC, CString& value) {
    const HWND hCtrl = pDX->m_pDlgWnd->GetDlgItem(nIDC);
    if (!hCtrl)
        return;
    if (pDX->m_bSaveAndValidate)
        AfxReadWindowText(hCtrl, value);
    else
        ::SetWindowTextW(hCtrl, value);
}
