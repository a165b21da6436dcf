#pragma once

#include "ui/framework/Button.h"
#include "ui/framework/ComboBox.h"
#include "ui/framework/PropertyPage.h"
#include "ui/framework/SliderCtrl.h"
#include "ui/framework/Static.h"

// The microphone gain levels, by trackbar position.
constexpr int kAgcLevelCount = 8;
extern const int g_AgcLevels[kAgcLevelCount];

// The trackbar position of a gain level: the first level not below it, compared unsigned, so
// that a negative level counts as very large; 7 when none is.
int LevelToPosition(int nLevel);

// The "Mic" page: switches the microphone's automatic gain control and, while it is off, sets
// the gain on the trackbar or through the modes "Quiet", "Normal" and "Noisy".
class CPP_AGC : public CPropertyPage {
public:
    CPP_AGC();
    ~CPP_AGC() override;

    static const CRuntimeClass classCPP_AGC;
    const CRuntimeClass* GetRuntimeClass() const override;
    static CObject* CreateObject();

    CStatic m_stcTitle;
    CButton m_chkEnable;
    CSliderCtrl m_sldLevel;
    CComboBox m_cbMode;

protected:
    // The page exchanges nothing: it reads and writes the settings object directly.
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    void OnEnableAGC();
    void OnCustomDrawLevel(NMHDR* pNMHDR, LRESULT* pResult);
    void OnSelChangeMode();
    HBRUSH OnCtlColor(HDC hDC, HWND hWndCtl, UINT nCtlColor);
    void OnLButtonDown(UINT nFlags, POINT point);

private:
    void EnableLevelControls(BOOL bEnable);
    void AddModeItem(UINT nNameID, int nPosition);
    void SelectModeOfPosition(int nPosition);

    DECLARE_MESSAGE_MAP()
};
