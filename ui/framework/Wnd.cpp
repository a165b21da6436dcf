#include "ui/framework/Wnd.h"
#include "ui/framework/Internal.h"

#include <windowsx.h>

namespace {

CObject* CreateWnd() { return new CWnd; }

const ThreadPointer<CurrentMessageScope> t_innermost;

// The entry of the target's maps that handles the message, if any.
const AFX_MSGMAP_ENTRY* FindHandler(const CCmdTarget& target, UINT message, WPARAM wParam,
                                    LPARAM lParam) {
    if (message == WM_COMMAND)
        return target.FindMessageEntry(WM_COMMAND, HIWORD(wParam), LOWORD(wParam));
    if (message == WM_NOTIFY) {
        const NMHDR* pNMHDR = reinterpret_cast<const NMHDR*>(lParam);
        return target.FindMessageEntry(WM_NOTIFY, pNMHDR->code, static_cast<UINT>(pNMHDR->idFrom));
    }
    if (message == WM_TIMER || message == WM_LBUTTONDOWN)
        return target.FindMessageEntry(message, 0, 0);
    if (IsCtlColor(message))
        return target.FindMessageEntry(WM_CTLCOLOR, 0, 0);
    return nullptr;
}

// The entry's handler, back in the signature its entry was stored with.
template <class Handler> Handler HandlerOf(const AFX_MSGMAP_ENTRY& entry) {
    return AfxFromPMSG<Handler>(entry.pfn);
}

void CallHandler(CCmdTarget& target, const AFX_MSGMAP_ENTRY& entry, UINT message, WPARAM wParam,
                 LPARAM lParam, LRESULT* pResult) {
    switch (entry.nSig) {
    case AfxSig::Command:
        (target.*entry.pfn)();
        break;
    case AfxSig::Notify:
        (target.*HandlerOf<void (CCmdTarget::*)(NMHDR*, LRESULT*)>(entry))(
            reinterpret_cast<NMHDR*>(lParam), pResult);
        break;
    case AfxSig::Timer:
        (target.*HandlerOf<void (CCmdTarget::*)(UINT_PTR)>(entry))(wParam);
        break;
    case AfxSig::CtlColor: {
        const HBRUSH hBrush = (target.*HandlerOf<HBRUSH (CCmdTarget::*)(HDC, HWND, UINT)>(entry))(
            reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam),
            message - WM_CTLCOLORMSGBOX);
        *pResult = reinterpret_cast<LRESULT>(hBrush);
        break;
    }
    case AfxSig::LButtonDown:
        (target.*HandlerOf<void (CCmdTarget::*)(UINT, POINT)>(entry))(
            static_cast<UINT>(wParam), POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        break;
    case AfxSig::End:
        break;
    }
}

} // namespace

CurrentMessageScope::CurrentMessageScope() : m_pOuter(t_innermost.Get()) { t_innermost.Set(this); }

CurrentMessageScope::~CurrentMessageScope() { t_innermost.Set(m_pOuter); }

CurrentMessageScope* CurrentMessageScope::Innermost() { return t_innermost.Get(); }

bool AfxRouteMessage(CWnd& wnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    const CurrentMessageScope scope;
    return wnd.OnWndMsg(message, wParam, lParam, pResult) && !scope.PassedOn();
}

void AfxReadWindowText(HWND hWnd, CString& strText) {
    const int nLength = ::GetWindowTextLengthW(hWnd);
    const LPWSTR pszText = strText.GetBuffer(nLength);
    if (!pszText) {
        strText.Empty(); // no room for the text
        return;
    }
    ::GetWindowTextW(hWnd, pszText, nLength + 1);
    strText.ReleaseBuffer();
}

const CRuntimeClass CWnd::classCWnd = {L"CWnd", 0xFFFF, &CreateWnd, &CCmdTarget::classCCmdTarget};

const CRuntimeClass* CWnd::GetRuntimeClass() const { return &classCWnd; }

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
END_MESSAGE_MAP()

BOOL CWnd::Attach(HWND hWnd) {
    if (!hWnd || m_hWnd)
        return FALSE;
    m_hWnd = hWnd;
    return TRUE;
}

void CWnd::GetWindowText(CString& strText) const { AfxReadWindowText(m_hWnd, strText); }

BOOL CWnd::DestroyWindow() {
    if (!m_hWnd || !::DestroyWindow(m_hWnd))
        return FALSE;
    m_hWnd = nullptr; // a framework window has cleared it already, an attached one has not
    return TRUE;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    const AFX_MSGMAP_ENTRY* pEntry = FindHandler(*this, message, wParam, lParam);
    if (!pEntry)
        return FALSE;
    // A scope of its own, so that Default() is seen here also when no window procedure called.
    const CurrentMessageScope scope;
    *pResult = 0;
    CallHandler(*this, *pEntry, message, wParam, lParam, pResult);
    if (scope.PassedOn()) {
        *pResult = 0;
        return FALSE;
    }
    return TRUE;
}

LRESULT CWnd::Default() {
    if (CurrentMessageScope* pScope = CurrentMessageScope::Innermost())
        pScope->PassOn();
    return 0;
}

HBRUSH CWnd::OnCtlColor(HDC hDC, HWND hWndCtl, UINT nCtlColor) {
    // Not DefDlgProc: called from inside a dialog procedure, it would call that procedure again.
    return reinterpret_cast<HBRUSH>(::DefWindowProcW(m_hWnd, WM_CTLCOLORMSGBOX + nCtlColor,
                                                     reinterpret_cast<WPARAM>(hDC),
                                                     reinterpret_cast<LPARAM>(hWndCtl)));
}
