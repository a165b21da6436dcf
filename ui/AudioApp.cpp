#include "ui/AudioApp.h"

#include "platform/Handle.h"
#include "platform/HandheldForms.h"
#include "platform/UserSession.h"
#include "res/resource.h"
#include "settings/AudioConfig.h"
#include "settings/SettingsKey.h"
#include "ui/Chrome.h"
#include "ui/EqualizerPage.h"
#include "ui/MainSheet.h"
#include "ui/framework/FrameWnd.h"

#include <cwchar>
#include <new>

// Constructed before g_AudioConfig and so destroyed after it.
CAudioApp theApp __attribute__((init_priority(kAppInitPriority)));

namespace {

int ScreenPixelsPerInch() {
    const platform::ScreenDC dc;
    return dc.Get() ? ::GetDeviceCaps(dc.Get(), LOGPIXELSY) : 96;
}

} // namespace

BEGIN_MESSAGE_MAP(CAudioApp, CWinApp)
END_MESSAGE_MAP()

CAudioApp::CAudioApp() : CWinApp(nullptr) {}

CAudioApp::~CAudioApp() { m_fontTitle.DeleteObject(); }

HFONT TitleFont() {
    const auto* const pApp = static_cast<const CAudioApp*>(AfxGetApp());
    return pApp ? pApp->m_fontTitle.GetSafeHandle() : nullptr;
}

LOGFONTW TitleLogFont(int nPixelsPerInch) {
    LOGFONTW logFont = {};
    // 13 pixels on the handheld's 96 DPI screen; in proportion elsewhere, as the pages' dialog
    // units are, so that the titles stay the largest text on the page.
    // Rounded to the nearest pixel; a screen's resolution is positive.
    logFont.lfHeight = (13 * nPixelsPerInch + 48) / 96;
    logFont.lfWeight = FW_BOLD;
    static constexpr WCHAR kFaceName[] = L"Tahoma";
    static_assert(ARRAYSIZE(kFaceName) <= LF_FACESIZE, "the face name fits with its zero");
    std::wmemcpy(logFont.lfFaceName, kFaceName, ARRAYSIZE(kFaceName));
    return logFont;
}

void CAudioApp::CreateTitleFont() {
    const LOGFONTW logFont = TitleLogFont(ScreenPixelsPerInch());
    m_fontTitle.CreateFontIndirect(&logFont);
}

namespace {

// The claim of the one copy of a user's session.
constexpr LPCWSTR kOneCopyName = L"Muntara Audio";

// A window that does not handle a message within this is held by a call to a driver that does
// not answer (a desktop's route gives up after 2 s; the handheld's kernel call waits on).
constexpr UINT kFirstCopyAnswerMs = 1000;

// Found by class and caption, which the sheet shares with the application's message boxes:
// whichever of them is found first comes to the front. False when the first copy has none, or
// its window does not answer.
bool BringFirstCopyToFront(LPCWSTR pszCaption) {
    const HWND hWnd = ::FindWindowW(platform::kDialogClass, pszCaption);
    if (!hWnd || !platform::WindowAnswers(hWnd, kFirstCopyAnswerMs))
        return false;
    ::SetForegroundWindow(hWnd);
    return true;
}

} // namespace

BOOL CAudioApp::InitInstance() {
    CString strCaption;
    strCaption.LoadString(IDS_APP_TITLE);
    // Each copy rewrites the whole key at its close: a second one would drop what the first
    // stores. It hands over to the first before touching the registry or the driver.
    platform::UniqueHandle hOneCopy;
    if (!platform::ClaimInSession(kOneCopyName, hOneCopy)) {
        // A first copy without a window is starting or ending; one whose window does not answer
        // is held by a driver call. Either would leave this start without a word.
        if (!BringFirstCopyToFront(strCaption))
            AppMessageBox(CWnd(), IDS_APP_RUNNING, MB_OK | MB_ICONSTOP);
        return FALSE;
    }
    platform::EnsureUserKey(kControlPanelKey); // Save stores nothing without it

    CreateTitleFont();

    auto* const pFrame = new (std::nothrow) CFrameWnd;
    if (!pFrame)
        return FALSE;
    m_pMainWnd = pFrame;
    pFrame->LoadFrame(IDR_MAINFRAME, FWS_ADDTOTITLE);

    {
        CPS_Main sheet(strCaption, nullptr, 0);
        sheet.DoModal();

        const int nModeSel = sheet.m_pageEqualizer.m_nModeSel;
        g_AudioConfig.m_nCurMode = nModeSel < 0 ? 0 : nModeSel;
        g_AudioConfig.Save(); // stores nothing when the settings were never loaded
    }
    return FALSE;
}
