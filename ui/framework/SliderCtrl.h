#pragma once

#include "ui/framework/Wnd.h"

// A trackbar ("msctls_trackbar32"): one message per method.
class CSliderCtrl : public CWnd {
public:
    int GetPos() const { return static_cast<int>(SendMessage(TBM_GETPOS)); }
    // Moves the thumb and repaints, which makes the trackbar notify its parent.
    void SetPos(int nPos) const { SendMessage(TBM_SETPOS, TRUE, nPos); }
    void SetRange(int nMin, int nMax, BOOL bRedraw = FALSE) const {
        SendMessage(TBM_SETRANGE, bRedraw, MAKELPARAM(nMin, nMax));
    }
    int SetPageSize(int nSize) const {
        return static_cast<int>(SendMessage(TBM_SETPAGESIZE, 0, nSize));
    }
};
