// The Equalizer page's once-a-second headphone check and the plug-in prompt.
#include "platform/HandheldForms.h"
#include "res/resource.h"
#include "settings/AudioConfig.h"
#include "ui/Chrome.h"
#include "ui/EqualizerPage.h"

#include <cwchar>

BOOL g_bLastHeadphone = TRUE;
BOOL g_bFirstTick = TRUE;
BOOL g_bPromptDismissed = TRUE;

namespace {

// How long the prompt has to come to the front before Enter is pressed there.
constexpr DWORD kForegroundWaitMs = 50;

struct PromptSearch {
    DWORD dwThreadId;
    HWND hSheet;
    LPCWSTR pszCaption;
    HWND hFound;
    int nFound;
};

// A visible top-level window of the page's thread captioned with the application's title, other
// than the sheet: while the prompt is open, only the prompt. Its owner is left out of it: the
// handheld makes no promise of who owns a box opened from a child window.
BOOL CALLBACK MatchPrompt(HWND hWnd, LPARAM lParam) {
    auto* const pSearch = reinterpret_cast<PromptSearch*>(lParam);
    if (hWnd == pSearch->hSheet ||
        ::GetWindowThreadProcessId(hWnd, nullptr) != pSearch->dwThreadId ||
        !(::GetWindowLongW(hWnd, GWL_STYLE) & WS_VISIBLE))
        return TRUE;
    // Longer than the caption is enough: a longer one is cut and then differs.
    WCHAR szCaption[64] = {};
    ::GetWindowTextW(hWnd, szCaption, ARRAYSIZE(szCaption));
    if (std::wcscmp(szCaption, pSearch->pszCaption) == 0) {
        pSearch->hFound = hWnd;
        ++pSearch->nFound;
    }
    return TRUE;
}

} // namespace

void CPP_Equalizer::OnTimer(UINT_PTR) {
    const BOOL bPresent = g_AudioConfig.IsHeadphonePresent();
    if (bPresent != g_bLastHeadphone) {
        g_bLastHeadphone = bPresent;
        OnHeadphoneChanged(bPresent);
    }
    if (bPresent) {
        // Cleared only while the prompt is open; a prompt that did not close is tried again at
        // the next tick.
        if (!g_bPromptDismissed)
            ClosePrompt();
    } else if (g_bFirstTick) {
        // Cleared before the prompt opens: the ticks that run inside its loop must neither
        // open a second prompt nor skip the closing.
        g_bFirstTick = FALSE;
        g_bPromptDismissed = FALSE;
        ShowPrompt();
        // Closed, by the user or by a tick inside: nothing is left to close.
        g_bPromptDismissed = TRUE;
    }
    g_bFirstTick = FALSE;
    Default();
}

void CPP_Equalizer::OnHeadphoneChanged(BOOL bPresent) {
    m_chkEnable.EnableWindow(bPresent ? TRUE : FALSE);
    // The band and mode controls come back only while the equalizer is switched on.
    EnableEQControls(bPresent ? g_AudioConfig.m_bEQEnable : FALSE);
}

void CPP_Equalizer::ShowPrompt() {
    AppMessageBox(*this, IDS_PLUG_IN_HEADPHONE, MB_ICONEXCLAMATION);
}

// Closes the open plug-in prompt as a person would: brought to the front, Enter pressed there,
// which is its OK button. The key goes to whatever window is in front, so it is pressed only when
// the prompt is that window; nothing of the box's inside (its controls) is relied on.
void CPP_Equalizer::ClosePrompt() {
    CString strCaption;
    strCaption.LoadString(IDS_APP_TITLE);
    PromptSearch search = {::GetWindowThreadProcessId(m_hWnd, nullptr), ::GetParent(m_hWnd),
                           strCaption, nullptr, 0};
    ::EnumWindows(MatchPrompt, reinterpret_cast<LPARAM>(&search));
    if (search.nFound != 1)
        return; // none, or more than one that could be it
    ::SetForegroundWindow(search.hFound);
    ::Sleep(kForegroundWaitMs);
    if (::GetForegroundWindow() != search.hFound)
        return;
    // Pressed and released: a key left down would stay down for every window after the prompt.
    ::keybd_event(VK_RETURN, 0, platform::kSilentKeyEvent, 0);
    ::keybd_event(VK_RETURN, 0, platform::kSilentKeyEvent | KEYEVENTF_KEYUP, 0);
}
