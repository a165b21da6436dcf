#include "ui/SaveModeDialog.h"

#include "res/resource.h"
#include "settings/ModeTable.h"

#include <cwchar>

namespace {

// A name set into the edit by other means than typing can be longer than a mode record holds:
// cut it, never inside a surrogate pair, so that the list, the table and the duplicate test all
// see the same name.
void CutToModeName(CString& strName) {
    if (strName.GetLength() <= kMaxModeName)
        return;
    const LPCWSTR pszName = strName;
    strName.Truncate(IS_HIGH_SURROGATE(pszName[kMaxModeName - 1]) ? kMaxModeName - 1
                                                                  : kMaxModeName);
}

} // namespace

BEGIN_MESSAGE_MAP(CDlg_SaveMode, CDialog)
END_MESSAGE_MAP()

CDlg_SaveMode::CDlg_SaveMode(CWnd* pParentWnd) : CDialog(IDD_SAVE_MODE, pParentWnd) {}

CDlg_SaveMode::~CDlg_SaveMode() = default;

void CDlg_SaveMode::DoDataExchange(CDataExchange* pDX) {
    DDX_Text(pDX, IDC_SAVE_MODE_NAME, m_strName);
    DDX_Text(pDX, IDC_SAVE_MODE_LABEL, m_strLabel);
}

BOOL CDlg_SaveMode::OnInitDialog() {
    CDialog::OnInitDialog();
    m_strLabel.LoadString(IDS_SAVE_MODE_CAPTION);
    SetWindowText(m_strLabel);
    m_strLabel.LoadString(IDS_SAVE_MODE_LABEL);
    UpdateData(FALSE);
    // A mode record holds no longer name; typing or pasting stops there.
    ::SendDlgItemMessageW(m_hWnd, IDC_SAVE_MODE_NAME, EM_SETLIMITTEXT, kMaxModeName, 0);
    return TRUE;
}

void CDlg_SaveMode::OnOK() {
    UpdateData(TRUE);
    const int nTyped = m_strName.GetLength();
    CutToModeName(m_strName);
    // The base's OK reads the edit once more: it must read the cut name.
    if (m_strName.GetLength() != nTyped)
        ::SetDlgItemTextW(m_hWnd, IDC_SAVE_MODE_NAME, m_strName);
    if (m_strName.IsEmpty()) {
        Refuse(IDS_NAME_EMPTY);
        return;
    }
    if (FindModeByName(m_strName) >= 0) {
        Refuse(IDS_NAME_EXISTS);
        return;
    }
    CDialog::OnOK();
}

void CDlg_SaveMode::Refuse(UINT nMessageID) {
    CString strText;
    CString strCaption;
    strText.LoadString(nMessageID);
    strCaption.LoadString(IDS_APP_TITLE);
    MessageBox(strText, strCaption, MB_ICONSTOP);
}

int FindModeByName(LPCWSTR pszName) {
    for (int nMode = 0; nMode < g_nModes; ++nMode) {
        if (std::wcscmp(pszName, g_Modes[nMode].szName) == 0)
            return nMode;
    }
    return -1;
}
