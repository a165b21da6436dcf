#pragma once

#include "ui/framework/Wnd.h"

// A push button or check box: one message per method.
class CButton : public CWnd {
public:
    int GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }
    void SetCheck(int nCheck) const { SendMessage(BM_SETCHECK, nCheck); }
};
