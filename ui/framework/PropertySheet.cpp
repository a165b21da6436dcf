#include "ui/framework/PropertySheet.h"
#include "ui/framework/Internal.h"
#include "ui/framework/WinApp.h"

namespace {

// The sheet whose PropertySheetW call is creating its window on this thread. The callback has
// no parameter of the caller's, and a sheet started from inside another finds this consumed.
const ThreadPointer<CPropertySheet> t_startingSheet;

int CALLBACK SheetCallback(HWND hWnd, UINT message, LPARAM) {
    CPropertySheet* const pSheet = t_startingSheet.Get();
    if (message == PSCB_INITIALIZED && pSheet) {
        pSheet->m_hWnd = hWnd;
        t_startingSheet.Set(nullptr);
    }
    return 0;
}

} // namespace

const CRuntimeClass CPropertySheet::classCPropertySheet = {L"CPropertySheet", 0xFFFF, nullptr,
                                                           &CWnd::classCWnd};

const CRuntimeClass* CPropertySheet::GetRuntimeClass() const { return &classCPropertySheet; }

BEGIN_MESSAGE_MAP(CPropertySheet, CWnd)
END_MESSAGE_MAP()

CPropertySheet::CPropertySheet(LPCWSTR pszCaption, CWnd* pParentWnd, UINT iSelectPage) {
    m_psh = {};
    m_psh.dwSize = sizeof(m_psh);
    m_psh.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW | PSH_USECALLBACK;
    m_psh.hwndParent = pParentWnd ? pParentWnd->m_hWnd : nullptr;
    m_psh.hInstance = AfxGetInstanceHandle();
    m_psh.pszCaption = pszCaption;
    m_psh.nStartPage = iSelectPage;
    m_psh.pfnCallback = SheetCallback;
}

void CPropertySheet::AddPage(CPropertyPage* pPage) {
    if (m_nPages < kMaxPages)
        m_pages[m_nPages++] = pPage;
}

INT_PTR CPropertySheet::DoModal() {
    AfxInitCommonControls();
    for (int nPage = 0; nPage < m_nPages; ++nPage)
        m_pageInfo[nPage] = m_pages[nPage]->m_psp;
    m_psh.nPages = static_cast<UINT>(m_nPages);
    m_psh.ppsp = m_pageInfo.data();

    t_startingSheet.Set(this);
    const INT_PTR result = platform::RunPropertySheet(m_psh);
    t_startingSheet.Set(nullptr);
    m_hWnd = nullptr;
    return result;
}
