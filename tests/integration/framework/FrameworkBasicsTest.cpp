#include "harness/Wait.h"
#include "integration/framework/FrameworkTestRes.h"
#include "integration/framework/StringText.h"
#include "ui/framework/FrameWnd.h"
#include "ui/framework/PropertySheet.h"
#include "ui/framework/WinApp.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace {

// How many more arrays the heap grants CString (its only allocation); -1 for no limit.
std::atomic<int> g_nArraysGranted{-1};

} // namespace

// The allocation CString makes, refused once the grant is used up.
void* operator new[](std::size_t cb, const std::nothrow_t&) noexcept {
    int nGranted = g_nArraysGranted;
    while (nGranted >= 0) {
        if (nGranted == 0)
            return nullptr;
        if (g_nArraysGranted.compare_exchange_weak(nGranted, nGranted - 1))
            break;
    }
    return std::malloc(cb ? cb : 1); // what the default delete[] frees
}

namespace {

// The heap grants nArrays more arrays while this lives, then refuses.
class HeapLimit {
public:
    explicit HeapLimit(int nArrays) { g_nArraysGranted = nArrays; }
    ~HeapLimit() { g_nArraysGranted = -1; }
    HeapLimit(const HeapLimit&) = delete;
    HeapLimit& operator=(const HeapLimit&) = delete;
};

// Records which handler took each message.
class BaseFrame : public CFrameWnd {
public:
    std::vector<std::string> m_calls;

protected:
    void OnShared() { m_calls.push_back("base shared"); }
    void OnBaseOnly() { m_calls.push_back("base only"); }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(BaseFrame, CFrameWnd)
ON_BN_CLICKED(10, OnShared)
ON_BN_CLICKED(11, OnBaseOnly)
END_MESSAGE_MAP()

class DerivedFrame : public BaseFrame {
public:
    UINT_PTR m_nTimerId = 0;
    UINT m_nFlags = 0;
    POINT m_point = {};

protected:
    void OnShared() { m_calls.push_back("derived shared"); }
    void OnSelChange() { m_calls.push_back("selection"); }
    void OnPassOn() {
        m_calls.push_back("passed on");
        Default();
    }
    void OnTimer(UINT_PTR nIDEvent) { m_nTimerId = nIDEvent; }
    void OnLButtonDown(UINT nFlags, POINT point) {
        m_nFlags = nFlags;
        m_point = point;
    }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(DerivedFrame, BaseFrame)
ON_BN_CLICKED(10, OnShared)
ON_CBN_SELCHANGE(11, OnSelChange)
ON_COMMAND(12, OnPassOn)
ON_WM_TIMER()
ON_WM_LBUTTONDOWN()
END_MESSAGE_MAP()

BOOL Command(CWnd& wnd, UINT nID, UINT nCode) {
    LRESULT result = 0;
    return wnd.OnWndMsg(WM_COMMAND, MAKEWPARAM(nID, nCode), 0, &result);
}

TEST(MessageMap, DerivedEntriesComeFirstAndTheRestReachTheBase) {
    DerivedFrame frame;
    ASSERT_TRUE(frame.LoadFrame(IDR_TEST_MENU, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE | WS_VISIBLE));

    frame.SendMessage(WM_COMMAND, MAKEWPARAM(10, BN_CLICKED)); // through the window procedure
    EXPECT_TRUE(Command(frame, 11, BN_CLICKED));
    EXPECT_TRUE(Command(frame, 11, CBN_SELCHANGE));
    EXPECT_FALSE(Command(frame, 12, BN_CLICKED)); // the handler ran, then passed it on
    EXPECT_FALSE(Command(frame, 13, BN_CLICKED));
    EXPECT_EQ(frame.m_calls,
              (std::vector<std::string>{"derived shared", "base only", "selection", "passed on"}));

    frame.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, MAKELPARAM(-3, 40));
    EXPECT_EQ(frame.m_nFlags, static_cast<UINT>(MK_LBUTTON | MK_SHIFT));
    EXPECT_EQ(frame.m_point.x, -3);
    EXPECT_EQ(frame.m_point.y, 40);

    frame.SetTimer(7, 1);
    EXPECT_TRUE(WaitUntil([&] {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageW(&msg);
        return frame.m_nTimerId == 7;
    }));
    ::KillTimer(frame.m_hWnd, 7);
}

TEST(FrameWnd, IsAHiddenWindowWithItsMenuAndGoesWithItsObject) {
    auto frame = std::make_unique<CFrameWnd>();
    ASSERT_TRUE(frame->LoadFrame(IDR_TEST_MENU, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE | WS_VISIBLE));
    const HWND hWnd = frame->m_hWnd;
    EXPECT_FALSE(::IsWindowVisible(hWnd));
    EXPECT_NE(::GetMenu(hWnd), nullptr);
    EXPECT_EQ(::GetWindowLongPtrW(hWnd, GWL_STYLE) & FWS_ADDTOTITLE, 0);
    EXPECT_EQ(::GetParent(hWnd), nullptr);
    frame.reset();
    EXPECT_FALSE(::IsWindow(hWnd));
}

// An application whose start-up and end are scripted by the test.
class TestApp : public CWinApp {
public:
    explicit TestApp(BOOL bStart) : m_bStart(bStart) {}
    bool m_bMainWndDeleted = false;

    BOOL InitInstance() override {
        m_pMainWnd = new WatchedFrame(m_bMainWndDeleted);
        ::PostQuitMessage(5);
        return m_bStart;
    }
    int ExitInstance() override { return CWinApp::ExitInstance() + 100; }

private:
    class WatchedFrame : public CFrameWnd {
    public:
        explicit WatchedFrame(bool& bDeleted) : m_bDeleted(bDeleted) {}
        ~WatchedFrame() override { m_bDeleted = true; }
        bool& m_bDeleted;
    };
    const BOOL m_bStart;
};

TEST(WinApp, RunsTheLoopOnlyAfterAStartAndDiscardsTheMainWindowEitherWay) {
    for (const BOOL bStart : {TRUE, FALSE}) {
        auto app = std::make_unique<TestApp>(bStart);
        EXPECT_EQ(AfxGetApp(), app.get());
        // The loop ends with the quit code; without a start there is no loop.
        EXPECT_EQ(AfxWinMain(::GetModuleHandleW(nullptr), nullptr, nullptr, SW_SHOW),
                  bStart ? 105 : 100);
        EXPECT_TRUE(app->m_bMainWndDeleted);
        EXPECT_EQ(app->m_pMainWnd, nullptr);
        MSG msg;
        ::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE); // the unread quit, if any
        app.reset();
        EXPECT_EQ(AfxGetApp(), nullptr);
    }
    const HINSTANCE hModule = ::GetModuleHandleW(nullptr);
    EXPECT_EQ(AfxFindResourceHandle(MAKEINTRESOURCEW(IDD_TEST_DIALOG), RT_DIALOG), hModule);
    EXPECT_EQ(AfxFindResourceHandle(MAKEINTRESOURCEW(999), RT_DIALOG), nullptr);
}

TEST(RuntimeClass, KindsFollowTheClassTree) {
    CPropertyPage page(IDD_TEST_FIRST_PAGE);
    EXPECT_TRUE(page.IsKindOf(&CDialog::classCDialog));
    EXPECT_TRUE(page.IsKindOf(&CObject::classCObject));
    EXPECT_FALSE(page.IsKindOf(&CFrameWnd::classCFrameWnd));
    const CPropertySheet sheet(L"sheet");
    EXPECT_TRUE(sheet.IsKindOf(&CWnd::classCWnd));
    EXPECT_FALSE(sheet.IsKindOf(&CDialog::classCDialog));
    EXPECT_TRUE(CWinApp::classCWinApp.IsDerivedFrom(&CCmdTarget::classCCmdTarget));
    EXPECT_FALSE(CWinApp::classCWinApp.IsDerivedFrom(&CWnd::classCWnd));
}

TEST(RuntimeClass, CreatesObjectsOnlyThroughAFactory) {
    const std::unique_ptr<CObject> pFrame(CFrameWnd::classCFrameWnd.CreateObject());
    ASSERT_NE(pFrame, nullptr);
    EXPECT_EQ(pFrame->GetRuntimeClass(), &CFrameWnd::classCFrameWnd);
    EXPECT_EQ(CDialog::classCDialog.CreateObject(), nullptr);
    EXPECT_EQ(CObject::classCObject.CreateObject(), nullptr);
}

TEST(CString, FormatFillsEveryMarkerAndKeepsTheRest) {
    CString str;
    str.Format(L"no marker, 100% and a lone %", L"x");
    EXPECT_EQ(Str(str), L"no marker, 100% and a lone %");
    str.Format(L"%s and %s", L"it");
    EXPECT_EQ(Str(str), L"it and it");
    str.Format(L"100%% of %s; %%s stays", L"it");
    EXPECT_EQ(Str(str), L"100% of it; %s stays");
    const std::wstring longArg(100000, L'w');
    str.Format(L"[%s]", longArg.c_str());
    EXPECT_EQ(Str(str), L"[" + longArg + L"]");
    str = L"ab";
    str.Format(L"%s-%s", str); // its own text as the argument
    EXPECT_EQ(Str(str), L"ab-ab");
}

TEST(CString, LoadsStringsOfAnyLengthAndEmptiesOnAnUnknownId) {
    std::wstring expected;
    for (int i = 0; i < 12; ++i) {
        wchar_t line[64];
        swprintf(line, 64, L"Line %03d of a string longer than any fixed buffer. ", i);
        expected += line;
    }
    CString str;
    EXPECT_TRUE(str.LoadString(IDS_TEST_LONG));
    EXPECT_EQ(Str(str), expected);
    EXPECT_FALSE(str.LoadString(999));
    EXPECT_TRUE(str.IsEmpty());

    wmemcpy(str.GetBuffer(7), L"abc\0def", 8);
    str.ReleaseBuffer();
    EXPECT_EQ(Str(str), L"abc");
}

// A growth the heap refuses never hands out the old, smaller block, and never leaves text behind
// that the length does not count.
TEST(CString, ARefusedGrowthLeavesTheStringEmptyOrUnchanged) {
    const CString longer(L"a text longer than the first block");
    const HWND hStatic = ::CreateWindowExW(0, L"STATIC", longer, 0, 0, 0, 10, 10, nullptr, nullptr,
                                           nullptr, nullptr);
    ASSERT_NE(hStatic, nullptr);
    CWnd wnd;
    wnd.Attach(hStatic);
    CString str(L"short");
    {
        const HeapLimit refused(0);
        ASSERT_EQ(str.GetBuffer(longer.GetLength()), nullptr);
        EXPECT_STREQ(str, L"short") << "unchanged";
        str = longer;
        EXPECT_STREQ(str, L"") << "the old text is gone with its length";
        EXPECT_EQ(str.GetLength(), 0);
    }
    str = L"ab";
    {
        const HeapLimit refused(0);
        wnd.GetWindowText(str);
        EXPECT_STREQ(str, L"") << "no room for the window text";
    }
    {
        const HeapLimit refusedAfterOne(1);
        str.Format(L"[%s]", longer);
        EXPECT_STREQ(str, L"") << "a part of the text is none of it";
    }
    wnd.GetWindowText(str);
    EXPECT_EQ(Str(str), Str(longer));
    wnd.DestroyWindow();
}

} // namespace
