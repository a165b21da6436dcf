#include "ui/EqualizerPage.h"

#include "res/resource.h"
#include "settings/AudioConfig.h"
#include "settings/ModeTable.h"
#include "settings/SettingsKey.h"
#include "ui/Chrome.h"

#include <initializer_list>
#include <new>

BOOL g_bCtrlsEnabled = TRUE;

const CRuntimeClass CPP_Equalizer::classCPP_Equalizer = {
    L"CPP_Equalizer", 0xFFFF, &CPP_Equalizer::CreateObject, &CPropertyPage::classCPropertyPage};

const CRuntimeClass* CPP_Equalizer::GetRuntimeClass() const { return &classCPP_Equalizer; }

CObject* CPP_Equalizer::CreateObject() { return new (std::nothrow) CPP_Equalizer; }

BEGIN_MESSAGE_MAP(CPP_Equalizer, CPropertyPage)
ON_WM_TIMER()
ON_NOTIFY(NM_CUSTOMDRAW, IDC_EQ_BAND0, OnCustomDrawBand0)
ON_NOTIFY(NM_CUSTOMDRAW, IDC_EQ_BAND1, OnCustomDrawBand1)
ON_NOTIFY(NM_CUSTOMDRAW, IDC_EQ_BAND2, OnCustomDrawBand2)
ON_NOTIFY(NM_CUSTOMDRAW, IDC_EQ_BAND3, OnCustomDrawBand3)
ON_NOTIFY(NM_CUSTOMDRAW, IDC_EQ_BAND4, OnCustomDrawBand4)
ON_BN_CLICKED(IDC_EQ_ENABLE, OnEnableEQ)
ON_BN_CLICKED(IDC_EQ_SAVE, OnSaveMode)
ON_BN_CLICKED(IDC_EQ_DELETE, OnDeleteMode)
ON_BN_CLICKED(IDC_EQ_NEW, OnNewMode)
ON_CBN_SELCHANGE(IDC_EQ_MODE, OnSelChangeMode)
ON_WM_CTLCOLOR()
ON_WM_LBUTTONDOWN()
END_MESSAGE_MAP()

CPP_Equalizer::CPP_Equalizer() : CPropertyPage(IDD_EQUALIZER, 0) {}

CPP_Equalizer::~CPP_Equalizer() = default;

CSliderCtrl& CPP_Equalizer::BandSlider(int nBand) {
    CSliderCtrl* const sliders[kBandCount] = {&m_sldBand0, &m_sldBand1, &m_sldBand2, &m_sldBand3,
                                              &m_sldBand4};
    return *sliders[nBand];
}

void CPP_Equalizer::DoDataExchange(CDataExchange* pDX) {
    DDX_CBIndex(pDX, IDC_EQ_MODE, m_nModeSel);
}

BOOL CPP_Equalizer::OnInitDialog() {
    CPropertyPage::OnInitDialog();

    m_stcTitle.Attach(GetDlgItem(IDC_EQ_TITLE));
    m_chkEnable.Attach(GetDlgItem(IDC_EQ_ENABLE));
    m_sldBand0.Attach(GetDlgItem(IDC_EQ_BAND0));
    m_sldBand1.Attach(GetDlgItem(IDC_EQ_BAND1));
    m_sldBand3.Attach(GetDlgItem(IDC_EQ_BAND3));
    m_sldBand2.Attach(GetDlgItem(IDC_EQ_BAND2));
    m_sldBand4.Attach(GetDlgItem(IDC_EQ_BAND4));
    m_cbMode.Attach(GetDlgItem(IDC_EQ_MODE));
    m_btnNew.Attach(GetDlgItem(IDC_EQ_NEW));
    m_btnSave.Attach(GetDlgItem(IDC_EQ_SAVE));
    m_btnDelete.Attach(GetDlgItem(IDC_EQ_DELETE));

    // Control 2000 + k shows string 200 + k.
    SetControlTexts(*this, IDC_EQ_TITLE, IDC_EQ_DELETE, IDS_EQ_TITLE);
    ShowPageTitle(*this, m_stcTitle);
    for (int nBand = 0; nBand < kBandCount; ++nBand)
        BandSlider(nBand).SetRange(0, kMaxBandLevel, FALSE);
    for (int nBand = 0; nBand < kBandCount; ++nBand)
        BandSlider(nBand).SetPageSize(1);

    // Loads the settings, opens the driver and starts the worker; the page works without them.
    g_AudioConfig.Attach(m_hWnd);

    FillModeList();
    const int nCurMode = g_AudioConfig.FindCurrentMode();
    if (nCurMode >= 0)
        m_cbMode.SetCurSel(nCurMode);

    EnableEQControls(g_AudioConfig.m_bEQEnable);
    m_chkEnable.SetCheck(g_AudioConfig.m_bEQEnable ? BST_CHECKED : BST_UNCHECKED);
    for (int nBand = 0; nBand < kBandCount; ++nBand)
        BandSlider(nBand).SetPos(g_AudioConfig.GetBandLevel(nBand));

    SetTimer(kMonitorTimerID, kMonitorPeriod);
    // The first headphone check runs as soon as the sheet's loop runs, not a second later.
    PostMessage(WM_TIMER, 0, 0);
    return TRUE;
}

void CPP_Equalizer::FillModeList() {
    // g_nModes is read again on each pass: the count stays within the table.
    for (int nMode = 0; nMode < g_nModes; ++nMode) {
        EQ_MODE& mode = g_Modes[nMode];
        if (nMode < kBuiltInModeCount && mode.szName[0] == L'\0') {
            CString strName;
            strName.LoadString(IDS_MODE_FLAT + nMode);
            CopyModeName(mode, strName);
        }
        m_cbMode.AddString(mode.szName);
    }
}

// Every paint of a band slider hands its position to the settings object; an unchanged level
// costs nothing there.
void CPP_Equalizer::ApplyBandPosition(int nBand, LRESULT* pResult) {
    g_AudioConfig.SetBandLevel(nBand, BandSlider(nBand).GetPos());
    *pResult = CDRF_DODEFAULT;
}

void CPP_Equalizer::OnCustomDrawBand0(NMHDR*, LRESULT* pResult) { ApplyBandPosition(0, pResult); }
void CPP_Equalizer::OnCustomDrawBand1(NMHDR*, LRESULT* pResult) { ApplyBandPosition(1, pResult); }
void CPP_Equalizer::OnCustomDrawBand2(NMHDR*, LRESULT* pResult) { ApplyBandPosition(2, pResult); }
void CPP_Equalizer::OnCustomDrawBand3(NMHDR*, LRESULT* pResult) { ApplyBandPosition(3, pResult); }
void CPP_Equalizer::OnCustomDrawBand4(NMHDR*, LRESULT* pResult) { ApplyBandPosition(4, pResult); }

void CPP_Equalizer::OnEnableEQ() {
    const BOOL bState = m_chkEnable.GetCheck() == BST_CHECKED ? TRUE : FALSE;
    g_AudioConfig.SetEQEnable(bState);
    EnableEQControls(bState);
}

void CPP_Equalizer::OnSelChangeMode() {
    const int nSel = m_cbMode.GetCurSel();
    if (nSel < 0 || nSel >= g_nModes)
        return;
    // The sliders' repaints apply the levels.
    for (int nBand = 0; nBand < kBandCount; ++nBand)
        BandSlider(nBand).SetPos(g_Modes[nSel].nLevel[nBand]);
    StoreCurrentMode(nSel);
}

// Stores the chosen mode at once, without rewriting the rest of the settings. While the key
// cannot be opened the current mode stays what it was.
void CPP_Equalizer::StoreCurrentMode(int nMode) {
    if (WriteSettingsValue(kCurModeValue, static_cast<DWORD>(nMode)) == ERROR_SUCCESS)
        g_AudioConfig.m_nCurMode = nMode;
}

void CPP_Equalizer::EnableEQControls(BOOL state) {
    if (state == g_bCtrlsEnabled)
        return;
    g_bCtrlsEnabled = state;
    const BOOL bEnable = state ? TRUE : FALSE;
    for (CWnd* const pControl : {static_cast<CWnd*>(&m_sldBand4), static_cast<CWnd*>(&m_sldBand3),
                                 static_cast<CWnd*>(&m_sldBand2), static_cast<CWnd*>(&m_sldBand1),
                                 static_cast<CWnd*>(&m_sldBand0), static_cast<CWnd*>(&m_cbMode),
                                 static_cast<CWnd*>(&m_btnNew), static_cast<CWnd*>(&m_btnSave),
                                 static_cast<CWnd*>(&m_btnDelete)})
        pControl->EnableWindow(bEnable);
}

HBRUSH CPP_Equalizer::OnCtlColor(HDC hDC, HWND hWndCtl, UINT nCtlColor) {
    const HBRUSH hBrush = CPropertyPage::OnCtlColor(hDC, hWndCtl, nCtlColor);
    ColorPageTitle(hDC, hWndCtl, m_stcTitle);
    return hBrush;
}

// Taps on the page background do nothing.
void CPP_Equalizer::OnLButtonDown(UINT, POINT) {}
