#include "ui/framework/PropertySheet.h"
#include "ui/framework/Internal.h"
#include "ui/framework/WinApp.h"

namespace {

// The sheet whose PropertySheetW call is creating its window on this thread. The callback has
// no parameter of the caller's, and a sheet started from inside another finds this consumed.
thread_local CPropertySheet* t_pStartingSheet = nullptr;

int CALLBACK SheetCallback(HWND hWnd, UINT message, LPARAM) {
    if (message == PSCB_INITIALIZED && t_pStartingSheet) {
        t_pStartingSheet->m_hWnd = hWnd;
        t_pStartingSheet = nullptr;
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

void CPropertySheet::AddPage(CPropertyPage* pPage) { m_pages.push_back(pPage); }

INT_PTR CPropertySheet::DoModal() {
    AfxInitCommonControls();
    m_pageInfo.clear();
    for (const CPropertyPage* pPage : m_pages)
        m_pageInfo.push_back(pPage->m_psp);
    m_psh.nPages = static_cast<UINT>(m_pageInfo.size());
    m_psh.ppsp = m_pageInfo.data();

    t_pStartingSheet = this;
    const INT_PTR result = ::PropertySheetW(&m_psh);
    t_pStartingSheet = nullptr;
    m_hWnd = nullptr;
    return result;
}
