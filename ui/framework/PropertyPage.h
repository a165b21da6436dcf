#pragma once

#include "platform/HandheldForms.h"
#include "ui/framework/Dialog.h"

// One page of a property sheet. The sheet creates its window when the page is first shown;
// leaving the page, and OK, read its controls into its members.
class CPropertyPage : public CDialog {
public:
    static const CRuntimeClass classCPropertyPage;
    const CRuntimeClass* GetRuntimeClass() const override;

    explicit CPropertyPage(UINT nIDTemplate, UINT nIDCaption = 0);
    // Template and tab caption (a string id, 0 for the template's own caption).
    void Construct(UINT nIDTemplate, UINT nIDCaption = 0);

    // What the sheet hands to the platform for this page.
    platform::SheetPage m_psp;

protected:
    // The sheet's buttons end the run, not the page.
    void OnOK() override;
    void OnCancel() override;
    // Leaving the page: reads the controls; FALSE lets the page go.
    virtual BOOL OnKillActive();

    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;

    static INT_PTR CALLBACK PageProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
    CString m_strCaption;

    DECLARE_MESSAGE_MAP()
};
