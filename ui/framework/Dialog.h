#pragma once

#include "ui/framework/DataExchange.h"
#include "ui/framework/Wnd.h"

// A dialog built from a template. DoModal runs it; a property page is one too.
class CDialog : public CWnd {
public:
    static const CRuntimeClass classCDialog;
    const CRuntimeClass* GetRuntimeClass() const override;

    // Without a parent the dialog is owned by the active window of the thread, else by the
    // application's main window.
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);

    // IDOK when OnOK closed it, another value when cancelled; -1 when it could not be shown.
    virtual INT_PTR DoModal();
    // TRUE reads the controls into the members, FALSE fills the controls from them.
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);
    void EndDialog(int nResult);

protected:
    virtual void DoDataExchange(CDataExchange* pDX);
    // Runs once per window after the window exists; the base fills the controls from the
    // members. TRUE leaves the focus to the platform (the first tab stop).
    virtual BOOL OnInitDialog();
    // Reads the controls and closes with IDOK.
    virtual void OnOK();
    // Closes without reading.
    virtual void OnCancel();

    // The dialog manager's colours for a control of this dialog: on a themed tab page the tab
    // body, so that labels sit on the page's own background; elsewhere the platform's defaults.
    HBRUSH OnCtlColor(HDC hDC, HWND hWndCtl, UINT nCtlColor);

    // Binds the window to its object on WM_INITDIALOG and routes every later message.
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;

private:
    // Set while OnCtlColor asks the dialog manager, which first asks this dialog's procedure.
    bool m_bAskingDialogManager = false;

    DECLARE_MESSAGE_MAP()
};
