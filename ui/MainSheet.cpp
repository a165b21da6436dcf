#include "ui/MainSheet.h"

#include "res/resource.h"
#include "ui/framework/WinApp.h"

const CRuntimeClass CPS_Main::classCPS_Main = {L"CPS_Main", 0xFFFF, nullptr,
                                               &CPropertySheet::classCPropertySheet};

const CRuntimeClass* CPS_Main::GetRuntimeClass() const { return &classCPS_Main; }

BEGIN_MESSAGE_MAP(CPS_Main, CPropertySheet)
END_MESSAGE_MAP()

CPS_Main::CPS_Main(LPCWSTR pszCaption, CWnd* pParentWnd, UINT iSelectPage)
    : CPropertySheet(pszCaption, pParentWnd, iSelectPage) {
    const HINSTANCE hIconModule = AfxFindResourceHandle(MAKEINTRESOURCEW(IDI_APP), RT_GROUP_ICON);
    m_hIcon = ::LoadIconW(hIconModule, MAKEINTRESOURCEW(IDI_APP));
    m_psh.hIcon = m_hIcon;
    m_psh.dwFlags |= PSH_USEHICON;

    m_pageEqualizer.Construct(IDD_EQUALIZER, IDS_EQUALIZER);
    m_pageAGC.Construct(IDD_AGC, IDS_MIC);
    AddPage(&m_pageEqualizer);
    AddPage(&m_pageAGC);
}

// The icon came from the resources and needs no release.
CPS_Main::~CPS_Main() = default;
