#pragma once

#include "ui/framework/String.h"

class CWnd;

// One run of a dialog's data exchange: towards the controls, or from them (saving).
class CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
        : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}

    const BOOL m_bSaveAndValidate;
    CWnd* const m_pDlgWnd;
};

// A combo box's selection index; -1 for none.
void DDX_CBIndex(CDataExchange* pDX, int nIDC, int& index);
// A control's text.
void DDX_Text(CDataExchange* pDX, int nIDC, CString& value);
