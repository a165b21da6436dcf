#pragma once

#include "ui/framework/Wnd.h"

// A combo box: one message per method. Indices are CB_ERR (-1) where there is none.
class CComboBox : public CWnd {
public:
    int AddString(LPCWSTR pszString) const {
        return static_cast<int>(SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(pszString)));
    }
    int DeleteString(UINT nIndex) const {
        return static_cast<int>(SendMessage(CB_DELETESTRING, nIndex));
    }
    int GetCount() const { return static_cast<int>(SendMessage(CB_GETCOUNT)); }
    int GetCurSel() const { return static_cast<int>(SendMessage(CB_GETCURSEL)); }
    // -1 clears the selection.
    int SetCurSel(int nSelect) const {
        return static_cast<int>(SendMessage(CB_SETCURSEL, nSelect));
    }
    DWORD_PTR GetItemData(int nIndex) const { return SendMessage(CB_GETITEMDATA, nIndex); }
    int SetItemData(int nIndex, DWORD_PTR dwItemData) const {
        return static_cast<int>(SendMessage(CB_SETITEMDATA, nIndex, dwItemData));
    }
};
