#pragma once

#include "ui/framework/Dialog.h"

// Asks for the name of a new mode. After IDOK, m_strName is not empty, fits a mode record and
// equals no existing mode name.
class CDlg_SaveMode : public CDialog {
public:
    explicit CDlg_SaveMode(CWnd* pParentWnd = nullptr);
    ~CDlg_SaveMode() override;

    CString m_strName;
    CString m_strLabel;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    DECLARE_MESSAGE_MAP()
};

// Index of the mode named exactly pszName (case-sensitive), or -1.
int FindModeByName(LPCWSTR pszName);
