// The Equalizer page's New, Save and Delete commands.
#include "res/resource.h"
#include "settings/AudioConfig.h"
#include "settings/ModeTable.h"
#include "ui/Chrome.h"
#include "ui/EqualizerPage.h"
#include "ui/SaveModeDialog.h"

namespace {

constexpr int kMaxListedModes = kBuiltInModeCount + kMaxOwnModes;

} // namespace

void CPP_Equalizer::OnNewMode() {
    if (m_cbMode.GetCount() >= kMaxListedModes) {
        AppMessageBox(*this, IDS_CANT_ADD_MORE, MB_ICONSTOP);
        return;
    }
    CDlg_SaveMode dlg;
    if (dlg.DoModal() != IDOK)
        return;
    // Listed and selected first, so that list and table are in step when AddMode returns.
    const int nIndex = m_cbMode.AddString(dlg.m_strName);
    if (nIndex == CB_ERR)
        return;
    m_cbMode.SetCurSel(nIndex);
    if (AddMode(dlg.m_strName) < 0)
        m_cbMode.DeleteString(nIndex);
}

void CPP_Equalizer::OnSaveMode() {
    const int nSel = SelectedOwnMode(IDS_CANT_MODIFY_DEFAULT);
    if (nSel < 0 || AskAboutSelectedMode(IDS_SAVE_MODE_QUESTION, MB_YESNO) != IDYES)
        return;
    g_AudioConfig.CopyModeLevels(nSel, -1);
    g_AudioConfig.Save();
}

void CPP_Equalizer::OnDeleteMode() {
    const int nSel = SelectedOwnMode(IDS_CANT_DELETE_DEFAULT);
    if (nSel < 0 ||
        AskAboutSelectedMode(IDS_DELETE_MODE_QUESTION, MB_YESNO | MB_ICONEXCLAMATION) != IDYES)
        return;
    m_cbMode.DeleteString(nSel);
    DeleteMode(nSel);
}

// The selected mode when it is an own one; -1 when none is selected, or a built-in one, which
// is refused with the message nRefusalID.
int CPP_Equalizer::SelectedOwnMode(UINT nRefusalID) {
    const int nSel = m_cbMode.GetCurSel();
    if (nSel >= 0 && nSel < kBuiltInModeCount) {
        AppMessageBox(*this, nRefusalID, MB_ICONSTOP);
        return -1;
    }
    return nSel;
}

// Asks the question nQuestionID about the selected mode, named as the list shows it.
int CPP_Equalizer::AskAboutSelectedMode(UINT nQuestionID, UINT nType) {
    CString strName;
    m_cbMode.GetWindowText(strName);
    CString strFormat;
    strFormat.LoadString(nQuestionID);
    CString strQuestion;
    strQuestion.Format(strFormat, strName);
    return AppMessageBox(*this, strQuestion, nType);
}
