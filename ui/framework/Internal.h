#pragma once

// Shared by the framework's own sources; not part of its interface.

#include "ui/framework/Wnd.h"

// One of the WM_CTLCOLOR* requests, which the maps take as one (WM_CTLCOLOR).
inline bool IsCtlColor(UINT message) {
    return message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC;
}

// Registers the common control classes the dialogs and sheets use; again is harmless.
void AfxInitCommonControls();

// One pointer per thread, in a slot of the platform's thread-local storage: the compiler's
// thread_local would bring in the runtime's emulated storage and its threads library. The slot
// lives as long as the process.
template <typename T> class ThreadPointer {
public:
    ThreadPointer() : m_dwSlot(::TlsAlloc()) {}
    T* Get() const { return static_cast<T*>(::TlsGetValue(m_dwSlot)); }
    void Set(T* p) const { ::TlsSetValue(m_dwSlot, p); }

private:
    const DWORD m_dwSlot;
};

// The whole text of a window, however long.
void AfxReadWindowText(HWND hWnd, CString& strText);

// The handling of one message by a window procedure of the framework on this thread, which
// Default() marks as passed on. Handlers may run nested loops (message boxes, modal dialogs), so
// each scope stacks on the one it interrupts and restores it when it ends.
class CurrentMessageScope {
public:
    CurrentMessageScope();
    ~CurrentMessageScope();
    CurrentMessageScope(const CurrentMessageScope&) = delete;
    CurrentMessageScope& operator=(const CurrentMessageScope&) = delete;

    // nullptr outside every handler.
    static CurrentMessageScope* Innermost();

    // Set by Default(): the window's default processing is to handle the message.
    void PassOn() { m_bPassedOn = true; }
    bool PassedOn() const { return m_bPassedOn; }

private:
    bool m_bPassedOn = false;
    CurrentMessageScope* const m_pOuter;
};

// Routes one message of a framework window through its message maps. True when a handler took
// it and did not pass it on; *pResult then holds the handler's result.
bool AfxRouteMessage(CWnd& wnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
