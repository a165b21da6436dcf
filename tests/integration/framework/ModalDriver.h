#pragma once

#include "harness/Wait.h"

#include <windows.h>

#include <functional>
#include <thread>

// Plays the user of a modal dialog or sheet from a second thread while the test's thread sits in
// the modal loop. The steps return false when a wait failed; the window is then cancelled, so a
// failing test ends instead of hanging.
class ModalDriver {
public:
    ModalDriver(LPCWSTR pszCaption, std::function<bool(HWND)> steps)
        : m_thread([this, pszCaption, steps] { Run(pszCaption, steps); }) {}
    ~ModalDriver() { Join(); }

    // Waits for the steps to end; true when every one got through.
    bool Succeeded() {
        Join();
        return m_bSucceeded;
    }

private:
    void Run(LPCWSTR pszCaption, const std::function<bool(HWND)>& steps) {
        // Shown only once its initialisation is over.
        HWND hWnd = nullptr;
        if (!WaitUntil([&] {
                hWnd = ::FindWindowW(L"#32770", pszCaption);
                return hWnd && ::IsWindowVisible(hWnd);
            }))
            return;
        m_bSucceeded = steps(hWnd);
        if (!m_bSucceeded)
            ::PostMessageW(hWnd, WM_COMMAND, IDCANCEL, 0);
    }
    void Join() {
        if (m_thread.joinable())
            m_thread.join();
    }

    bool m_bSucceeded = false;
    std::thread m_thread;
};
