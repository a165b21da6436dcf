#pragma once

// Shared by the framework's own sources; not part of its interface.

#include "ui/framework/Wnd.h"

// Registers the common control classes the dialogs and sheets use; once per process.
void AfxInitCommonControls();

// The whole text of a window, however long.
void AfxReadWindowText(HWND hWnd, CString& strText);

// The message a window procedure of the framework is handling on this thread. Handlers may run
// nested loops (message boxes, modal dialogs), so each scope stacks on the one it interrupts and
// restores it when it ends.
class CurrentMessageScope {
public:
    CurrentMessageScope(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    ~CurrentMessageScope();
    CurrentMessageScope(const CurrentMessageScope&) = delete;
    CurrentMessageScope& operator=(const CurrentMessageScope&) = delete;

    // nullptr outside every handler.
    static CurrentMessageScope* Innermost();

    const MSG& Message() const { return m_msg; }
    // Set by Default(): the window's default processing is to handle the message.
    void PassOn() { m_bPassedOn = true; }
    bool PassedOn() const { return m_bPassedOn; }

private:
    MSG m_msg;
    bool m_bPassedOn = false;
    CurrentMessageScope* const m_pOuter;
};

// Routes one message of a framework window through its message maps. True when a handler took
// it and did not pass it on; *pResult then holds the handler's result.
bool AfxRouteMessage(CWnd& wnd, HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam,
                     LRESULT* pResult);
