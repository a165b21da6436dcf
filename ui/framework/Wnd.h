#pragma once

#include "ui/framework/CmdTarget.h"
#include "ui/framework/String.h"

// A window the program talks to through its handle. Attaching a handle does not subclass the
// window: its messages reach a CWnd only when the framework created the window (dialogs, pages,
// frames) and routes them through OnWndMsg.
class CWnd : public CCmdTarget {
public:
    static const CRuntimeClass classCWnd;
    const CRuntimeClass* GetRuntimeClass() const override;

    CWnd() = default;

    HWND m_hWnd = nullptr;

    BOOL Attach(HWND hWnd);

    HWND GetDlgItem(int nID) const { return ::GetDlgItem(m_hWnd, nID); }
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendMessageW(m_hWnd, message, wParam, lParam);
    }
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::PostMessageW(m_hWnd, message, wParam, lParam);
    }
    BOOL EnableWindow(BOOL bEnable = TRUE) const { return ::EnableWindow(m_hWnd, bEnable); }
    void SetWindowText(LPCWSTR pszText) const { ::SetWindowTextW(m_hWnd, pszText); }
    void GetWindowText(CString& strText) const;
    void SetFont(HFONT hFont, BOOL bRedraw = TRUE) const {
        SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(hFont), bRedraw);
    }
    // A timer without a callback: its ticks arrive as WM_TIMER.
    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse) const {
        return ::SetTimer(m_hWnd, nIDEvent, nElapse, nullptr);
    }
    // Modal, owned by this window.
    int MessageBox(LPCWSTR pszText, LPCWSTR pszCaption, UINT nType) const {
        return ::MessageBoxW(m_hWnd, pszText, pszCaption, nType);
    }
    BOOL DestroyWindow();

    // Routes one message through the message maps. Non-zero when a handler took it and did not
    // pass it on; *pResult then holds the handler's result.
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);

protected:
    // Hands the message being handled on to the window's default processing.
    LRESULT Default();

    // The default colours of the platform, for the colour request being handled.
    HBRUSH OnCtlColor(HDC hDC, HWND hWndCtl, UINT nCtlColor);

    DECLARE_MESSAGE_MAP()
};
