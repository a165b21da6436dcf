// The Equalizer page's once-a-second headphone check and the plug-in prompt.
#include "res/resource.h"
#include "settings/AudioConfig.h"
#include "ui/Chrome.h"
#include "ui/EqualizerPage.h"

#include <cwchar>

BOOL g_bLastHeadphone = TRUE;
BOOL g_bFirstTick = TRUE;
BOOL g_bPromptDismissed = TRUE;

namespace {

// A message box shows its text in the static control with this id.
constexpr int kMessageBoxTextID = 0xFFFF;

struct PromptSearch {
    HWND hOwner;
    DWORD dwThreadId;
    LPCWSTR pszText;
    HWND hPrompt;
};

// The window a child window belongs to: the first one up its parents that is not a child.
HWND TopLevelWindow(HWND hWnd) {
    while (hWnd && (::GetWindowLongW(hWnd, GWL_STYLE) & WS_CHILD))
        hWnd = ::GetParent(hWnd);
    return hWnd;
}

BOOL CALLBACK MatchPrompt(HWND hWnd, LPARAM lParam) {
    auto* const pSearch = reinterpret_cast<PromptSearch*>(lParam);
    if (::GetWindowThreadProcessId(hWnd, nullptr) != pSearch->dwThreadId ||
        ::GetWindow(hWnd, GW_OWNER) != pSearch->hOwner)
        return TRUE;
    // Longer than the prompt's text is enough: a longer text is cut and then differs.
    WCHAR szText[128] = {};
    ::GetDlgItemTextW(hWnd, kMessageBoxTextID, szText, ARRAYSIZE(szText));
    if (std::wcscmp(szText, pSearch->pszText) != 0)
        return TRUE;
    pSearch->hPrompt = hWnd;
    return FALSE;
}

} // namespace

void CPP_Equalizer::OnTimer(UINT_PTR) {
    const BOOL bPresent = g_AudioConfig.IsHeadphonePresent();
    if (bPresent != g_bLastHeadphone) {
        g_bLastHeadphone = bPresent;
        OnHeadphoneChanged(bPresent);
    }
    if (bPresent) {
        if (!g_bPromptDismissed) {
            g_bPromptDismissed = TRUE;
            ClosePrompt();
        }
    } else if (g_bFirstTick) {
        // Cleared before the prompt opens: the ticks that run inside its loop must neither
        // open a second prompt nor skip the closing.
        g_bFirstTick = FALSE;
        g_bPromptDismissed = FALSE;
        ShowPrompt();
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

// Closes the plug-in prompt if it is still open, by pressing its OK button. A prompt the user
// has closed already is gone: nothing else receives anything.
void CPP_Equalizer::ClosePrompt() {
    CString strText;
    strText.LoadString(IDS_PLUG_IN_HEADPHONE);
    // The prompt is owned by the sheet, the top-level window of the page.
    // Among the top-level windows of the page's thread: the prompt runs in the page's own loop.
    PromptSearch search = {TopLevelWindow(m_hWnd), ::GetWindowThreadProcessId(m_hWnd, nullptr),
                           strText, nullptr};
    ::EnumWindows(MatchPrompt, reinterpret_cast<LPARAM>(&search));
    if (search.hPrompt)
        ::PostMessageW(search.hPrompt, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}
