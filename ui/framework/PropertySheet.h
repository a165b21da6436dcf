#pragma once

#include "platform/HandheldForms.h"
#include "ui/framework/PropertyPage.h"

#include <array>

// A modal property sheet of pages added in order.
class CPropertySheet : public CWnd {
public:
    static const CRuntimeClass classCPropertySheet;
    const CRuntimeClass* GetRuntimeClass() const override;

    // pszCaption must stay valid while the sheet runs.
    explicit CPropertySheet(LPCWSTR pszCaption, CWnd* pParentWnd = nullptr, UINT iSelectPage = 0);

    // Pages beyond kMaxPages are left out.
    void AddPage(CPropertyPage* pPage);

    // Returns when the sheet closes, whichever way; m_hWnd is the sheet's window meanwhile.
    virtual INT_PTR DoModal();

    // What the sheet hands to the platform; flags such as PSH_USEHICON may be added.
    platform::SheetHeader m_psh;

private:
    static constexpr int kMaxPages = 8;
    std::array<CPropertyPage*, kMaxPages> m_pages{};
    std::array<platform::SheetPage, kMaxPages> m_pageInfo{};
    int m_nPages = 0;

    DECLARE_MESSAGE_MAP()
};
