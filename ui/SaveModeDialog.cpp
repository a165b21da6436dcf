#include "ui/SaveModeDialog.h"

#include "res/resource.h"
#include "settings/ModeTable.h"
#include "ui/Chrome.h"

#include <cwchar>

namespace {

// The list, the table and the duplicate test all see the name as a mode keeps it. A name set
// into the edit by other means than typing can be longer than a mode holds, and the edit's own
// limit can keep the first half of a pair.
void CutToModeName(CString& strName) {
    const int nLength = ModeNameLength(strName);
    if (nLength != strName.GetLength())
        strName.Truncate(nLength);
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
        AppMessageBox(*this, IDS_NAME_EMPTY, MB_ICONSTOP);
        return;
    }
    if (FindModeByName(m_strName) >= 0) {
        AppMessageBox(*this, IDS_NAME_EXISTS, MB_ICONSTOP);
        return;
    }
    CDialog::OnOK();
}

int FindModeByName(LPCWSTR pszName) {
    for (int nMode = 0; nMode < g_nModes; ++nMode) {
        if (std::wcscmp(pszName, g_Modes[nMode].szName) == 0)
            return nMode;
    }
    return -1;
}
