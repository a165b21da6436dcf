#pragma once

#include "ui/framework/PropertyPage.h"

#include <vector>

// A modal property sheet of pages added in order.
class CPropertySheet : public CWnd {
public:
    static const CRuntimeClass classCPropertySheet;
    const CRuntimeClass* GetRuntimeClass() const override;

    // pszCaption must stay valid while the sheet runs.
    explicit CPropertySheet(LPCWSTR pszCaption, CWnd* pParentWnd = nullptr, UINT iSelectPage = 0);

    void AddPage(CPropertyPage* pPage);
    int GetPageCount() const { return static_cast<int>(m_pages.size()); }
    CPropertyPage* GetPage(int nPage) const { return m_pages[nPage]; }

    // Returns when the sheet closes, whichever way; m_hWnd is the sheet's window meanwhile.
    virtual INT_PTR DoModal();

    // What the sheet hands to the platform; flags such as PSH_USEHICON may be added.
    PROPSHEETHEADERW m_psh;

private:
    std::vector<CPropertyPage*> m_pages;
    std::vector<PROPSHEETPAGEW> m_pageInfo;

    DECLARE_MESSAGE_MAP()
};
