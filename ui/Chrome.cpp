#include "ui/Chrome.h"

#include "res/resource.h"
#include "ui/AudioApp.h"

namespace {

// Both page titles are drawn in dark blue.
constexpr COLORREF kTitleColor = 0x009C0000;

void KeepOverlapsReadable(HWND hPage) {
    for (HWND hControl = ::GetWindow(hPage, GW_CHILD); hControl;
         hControl = ::GetWindow(hControl, GW_HWNDNEXT)) {
        const LONG_PTR style = ::GetWindowLongPtrW(hControl, GWL_STYLE);
        ::SetWindowLongPtrW(hControl, GWL_STYLE, style | WS_CLIPSIBLINGS);
    }
}

} // namespace

int AppMessageBox(const CWnd& owner, LPCWSTR pszText, UINT nType) {
    CString strCaption;
    strCaption.LoadString(IDS_APP_TITLE);
    return owner.MessageBox(pszText, strCaption, nType);
}

int AppMessageBox(const CWnd& owner, UINT nTextID, UINT nType) {
    CString strText;
    strText.LoadString(nTextID);
    return AppMessageBox(owner, strText, nType);
}

void SetControlTexts(const CWnd& page, int nFirstID, int nLastID, UINT nFirstStringID) {
    for (int nID = nFirstID; nID <= nLastID; ++nID) {
        CString strText;
        strText.LoadString(nFirstStringID + (nID - nFirstID));
        ::SetDlgItemTextW(page.m_hWnd, nID, strText);
    }
}

void ShowPageTitle(const CWnd& page, const CStatic& title) {
    title.SetFont(TitleFont(), TRUE);
    KeepOverlapsReadable(page.m_hWnd);
}

void ColorPageTitle(HDC hDC, HWND hWndCtl, const CStatic& title) {
    if (hWndCtl == title.m_hWnd)
        ::SetTextColor(hDC, kTitleColor);
}
