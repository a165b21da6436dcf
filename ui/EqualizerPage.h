#pragma once

#include "ui/framework/Button.h"
#include "ui/framework/ComboBox.h"
#include "ui/framework/PropertyPage.h"
#include "ui/framework/SliderCtrl.h"
#include "ui/framework/Static.h"

// State the Equalizer page keeps for the whole run; never reset.
extern BOOL g_bCtrlsEnabled;    // last state given to the band and mode controls
extern BOOL g_bLastHeadphone;   // presence value of the previous monitor tick
extern BOOL g_bFirstTick;       // set until the first monitor tick has run
extern BOOL g_bPromptDismissed; // cleared while the plug-in prompt is open

// The headphone monitor's timer.
constexpr UINT_PTR kMonitorTimerID = 1;
constexpr UINT kMonitorPeriod = 1000; // ms

// The "Equalizer" page: five band sliders, the enable check box, the mode list and the mode
// commands, and the once-a-second headphone monitor.
class CPP_Equalizer : public CPropertyPage {
public:
    CPP_Equalizer();
    ~CPP_Equalizer() override;

    static const CRuntimeClass classCPP_Equalizer;
    const CRuntimeClass* GetRuntimeClass() const override;
    static CObject* CreateObject();

    // Enables or disables the five sliders, the mode list and the three mode buttons; does
    // nothing when state is the one last given.
    void EnableEQControls(BOOL state);

    CStatic m_stcTitle;
    CButton m_chkEnable;
    CSliderCtrl m_sldBand0;
    CSliderCtrl m_sldBand3;
    CSliderCtrl m_sldBand2;
    CSliderCtrl m_sldBand1;
    CSliderCtrl m_sldBand4;
    CButton m_btnNew;
    CButton m_btnSave;
    CButton m_btnDelete;
    CComboBox m_cbMode;
    // The mode list's selection as of the page's last saving exchange; -1 for none.
    int m_nModeSel = -1;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    void OnTimer(UINT_PTR nIDEvent);
    void OnCustomDrawBand0(NMHDR* pNMHDR, LRESULT* pResult);
    void OnCustomDrawBand1(NMHDR* pNMHDR, LRESULT* pResult);
    void OnCustomDrawBand2(NMHDR* pNMHDR, LRESULT* pResult);
    void OnCustomDrawBand3(NMHDR* pNMHDR, LRESULT* pResult);
    void OnCustomDrawBand4(NMHDR* pNMHDR, LRESULT* pResult);
    void OnEnableEQ();
    void OnSaveMode();
    void OnDeleteMode();
    void OnNewMode();
    void OnSelChangeMode();
    HBRUSH OnCtlColor(HDC hDC, HWND hWndCtl, UINT nCtlColor);
    void OnLButtonDown(UINT nFlags, POINT point);

private:
    CSliderCtrl& BandSlider(int nBand);
    void ApplyBandPosition(int nBand, LRESULT* pResult);
    void FillModeList();
    void StoreCurrentMode(int nMode);
    void OnHeadphoneChanged(BOOL bPresent);
    void ClosePrompt();
    void ShowPrompt();
    int SelectedOwnMode(UINT nRefusalID);
    int AskAboutSelectedMode(UINT nQuestionID, UINT nType);

    DECLARE_MESSAGE_MAP()
};
