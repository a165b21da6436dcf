#include "ui/AgcPage.h"

#include "res/resource.h"
#include "settings/AudioConfig.h"
#include "ui/Chrome.h"

#include <new>

const int g_AgcLevels[kAgcLevelCount] = {36, 40, 44, 48, 52, 56, 62, 69};

namespace {

constexpr int kQuietPosition = 7;
constexpr int kNormalPosition = 3;
constexpr int kNoisyPosition = 0;

} // namespace

int LevelToPosition(int nLevel) {
    const auto uLevel = static_cast<unsigned>(nLevel);
    for (int nPosition = 0; nPosition < kAgcLevelCount; ++nPosition) {
        if (static_cast<unsigned>(g_AgcLevels[nPosition]) >= uLevel)
            return nPosition;
    }
    return kAgcLevelCount - 1;
}

const CRuntimeClass CPP_AGC::classCPP_AGC = {L"CPP_AGC", 0xFFFF, &CPP_AGC::CreateObject,
                                             &CPropertyPage::classCPropertyPage};

const CRuntimeClass* CPP_AGC::GetRuntimeClass() const { return &classCPP_AGC; }

CObject* CPP_AGC::CreateObject() { return new (std::nothrow) CPP_AGC; }

BEGIN_MESSAGE_MAP(CPP_AGC, CPropertyPage)
ON_BN_CLICKED(IDC_AGC_ENABLE, OnEnableAGC)
ON_NOTIFY(NM_CUSTOMDRAW, IDC_AGC_LEVEL, OnCustomDrawLevel)
ON_CBN_SELCHANGE(IDC_AGC_MODE, OnSelChangeMode)
ON_WM_CTLCOLOR()
ON_WM_LBUTTONDOWN()
END_MESSAGE_MAP()

CPP_AGC::CPP_AGC() : CPropertyPage(IDD_AGC, 0) {}

CPP_AGC::~CPP_AGC() = default;

void CPP_AGC::DoDataExchange(CDataExchange*) {}

BOOL CPP_AGC::OnInitDialog() {
    CPropertyPage::OnInitDialog();

    m_stcTitle.Attach(GetDlgItem(IDC_AGC_TITLE));
    m_chkEnable.Attach(GetDlgItem(IDC_AGC_ENABLE));
    m_sldLevel.Attach(GetDlgItem(IDC_AGC_LEVEL));
    m_cbMode.Attach(GetDlgItem(IDC_AGC_MODE));

    // Control 3000 + k shows string 400 + k.
    SetControlTexts(*this, IDC_AGC_TITLE, IDC_AGC_MODE_LABEL, IDS_AGC_TITLE);
    ShowPageTitle(*this, m_stcTitle);

    const BOOL bAGCEnable = g_AudioConfig.m_bAGCEnable;
    m_chkEnable.SetCheck(bAGCEnable ? BST_CHECKED : BST_UNCHECKED);
    EnableLevelControls(!bAGCEnable);

    m_sldLevel.SetRange(0, kAgcLevelCount - 1, FALSE);
    const int nPosition = LevelToPosition(g_AudioConfig.GetAGCLevel());
    m_sldLevel.SetPos(nPosition);

    AddModeItem(IDS_AGC_QUIET, kQuietPosition);
    AddModeItem(IDS_AGC_NORMAL, kNormalPosition);
    AddModeItem(IDS_AGC_NOISY, kNoisyPosition);
    SelectModeOfPosition(nPosition);
    return TRUE;
}

void CPP_AGC::AddModeItem(UINT nNameID, int nPosition) {
    CString strName;
    strName.LoadString(nNameID);
    const int nIndex = m_cbMode.AddString(strName);
    if (nIndex != CB_ERR)
        m_cbMode.SetItemData(nIndex, static_cast<DWORD_PTR>(nPosition));
}

// Selects the mode of that trackbar position, or none when no mode has it.
void CPP_AGC::SelectModeOfPosition(int nPosition) {
    const int nCount = m_cbMode.GetCount();
    for (int nIndex = 0; nIndex < nCount; ++nIndex) {
        if (m_cbMode.GetItemData(nIndex) == static_cast<DWORD_PTR>(nPosition)) {
            m_cbMode.SetCurSel(nIndex);
            return;
        }
    }
    m_cbMode.SetCurSel(-1);
}

void CPP_AGC::EnableLevelControls(BOOL bEnable) {
    m_sldLevel.EnableWindow(bEnable);
    m_cbMode.EnableWindow(bEnable);
}

// Toggles the stored flag; the check box's own state is not read.
void CPP_AGC::OnEnableAGC() {
    const BOOL bState = g_AudioConfig.m_bAGCEnable ? FALSE : TRUE;
    g_AudioConfig.SetAGCEnable(bState);
    EnableLevelControls(!bState);
}

// Every paint of the trackbar applies the level of its position; an unchanged level costs
// nothing in the settings object.
void CPP_AGC::OnCustomDrawLevel(NMHDR*, LRESULT* pResult) {
    const int nPosition = m_sldLevel.GetPos();
    if (nPosition >= 0 && nPosition < kAgcLevelCount)
        g_AudioConfig.SetAGCLevel(g_AgcLevels[nPosition]);
    SelectModeOfPosition(nPosition);
    *pResult = CDRF_DODEFAULT;
}

// The trackbar's repaint at the new position applies the level.
void CPP_AGC::OnSelChangeMode() {
    const int nSel = m_cbMode.GetCurSel();
    if (nSel == CB_ERR)
        return;
    m_sldLevel.SetPos(static_cast<int>(m_cbMode.GetItemData(nSel)));
}

HBRUSH CPP_AGC::OnCtlColor(HDC hDC, HWND hWndCtl, UINT nCtlColor) {
    const HBRUSH hBrush = CPropertyPage::OnCtlColor(hDC, hWndCtl, nCtlColor);
    ColorPageTitle(hDC, hWndCtl, m_stcTitle);
    return hBrush;
}

// Taps on the page background do nothing.
void CPP_AGC::OnLButtonDown(UINT, POINT) {}
