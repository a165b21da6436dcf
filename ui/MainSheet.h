#pragma once

#include "ui/AgcPage.h"
#include "ui/EqualizerPage.h"
#include "ui/framework/PropertySheet.h"

// The application's sheet: "Equalizer" then "Mic", with the application icon.
class CPS_Main : public CPropertySheet {
public:
    CPS_Main(LPCWSTR pszCaption, CWnd* pParentWnd, UINT iSelectPage);
    ~CPS_Main() override;

    static const CRuntimeClass classCPS_Main;
    const CRuntimeClass* GetRuntimeClass() const override;

    CPP_Equalizer m_pageEqualizer;
    CPP_AGC m_pageAGC;
    HICON m_hIcon = nullptr;

    DECLARE_MESSAGE_MAP()
};
