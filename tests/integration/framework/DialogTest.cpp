#include "integration/framework/FrameworkTestRes.h"
#include "integration/framework/ModalDriver.h"
#include "integration/framework/StringText.h"
#include "ui/framework/Dialog.h"
#include "ui/framework/FrameWnd.h"
#include "ui/framework/WinApp.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

constexpr wchar_t kCaption[] = L"Framework test";

class TestDialog : public CDialog {
public:
    explicit TestDialog(CWnd* pParentWnd = nullptr) : CDialog(IDD_TEST_DIALOG, pParentWnd) {}
    ~TestDialog() override { ::DeleteObject(m_hBrush); }

    CString m_strText = L"initial";
    HWND m_hOwner = nullptr;
    const HBRUSH m_hBrush = ::CreateSolidBrush(RGB(1, 2, 3));
    // Seen by the driving thread while the dialog runs.
    std::atomic<bool> m_bItemStageSeen{false};
    std::atomic<HWND> m_hColouredStatic{nullptr};
    std::atomic<HWND> m_hColouredButton{nullptr};
    LRESULT m_nestedResult = 0;

protected:
    void DoDataExchange(CDataExchange* pDX) override { DDX_Text(pDX, IDC_TEST_EDIT, m_strText); }
    BOOL OnInitDialog() override {
        m_hOwner = ::GetWindow(m_hWnd, GW_OWNER);
        return CDialog::OnInitDialog();
    }

    // Asking for each item's stage only works when the first answer reaches the trackbar.
    void OnTrackbarDraw(NMHDR* pNMHDR, LRESULT* pResult) {
        const DWORD dwStage = reinterpret_cast<NMCUSTOMDRAW*>(pNMHDR)->dwDrawStage;
        if (dwStage == CDDS_PREPAINT)
            *pResult = CDRF_NOTIFYITEMDRAW;
        else if (dwStage == CDDS_ITEMPREPAINT)
            m_bItemStageSeen = true;
    }
    void OnEditClick(NMHDR*, LRESULT* pResult) { *pResult = 42; }
    void OnButtonClick(NMHDR*, LRESULT* pResult) {
        *pResult = 77;
        Default();
    }

    HBRUSH OnCtlColor(HDC hDC, HWND hWndCtl, UINT nCtlColor) {
        switch (nCtlColor) {
        case CTLCOLOR_DLG:
            return CWnd::OnCtlColor(hDC, hWndCtl, nCtlColor);
        case CTLCOLOR_EDIT:
            Default();
            return m_hBrush;
        case CTLCOLOR_LISTBOX: // a nested request must not take this one's place
            m_nestedResult = SendMessage(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(hDC));
            Default();
            return m_hBrush;
        case CTLCOLOR_STATIC:
            if (::GetDlgCtrlID(hWndCtl) == IDC_TEST_LABEL)
                m_hColouredStatic = hWndCtl;
            break;
        case CTLCOLOR_BTN:
            if (::GetDlgCtrlID(hWndCtl) == IDC_TEST_BUTTON)
                m_hColouredButton = hWndCtl;
            break;
        }
        return m_hBrush;
    }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(TestDialog, CDialog)
ON_NOTIFY(NM_CUSTOMDRAW, IDC_TEST_TRACKBAR, OnTrackbarDraw)
ON_NOTIFY(NM_CLICK, IDC_TEST_EDIT, OnEditClick)
ON_NOTIFY(NM_CLICK, IDC_TEST_BUTTON, OnButtonClick)
ON_WM_CTLCOLOR()
END_MESSAGE_MAP()

TEST(Dialog, OkReadsTheControlsAndCancelDoesNot) {
    const std::wstring longText(5000, L'x');
    TestDialog dlg;
    std::wstring shown;
    ModalDriver ok(kCaption, [&](HWND hDlg) {
        const HWND hEdit = ::GetDlgItem(hDlg, IDC_TEST_EDIT);
        wchar_t text[16] = {};
        ::GetWindowTextW(hEdit, text, 16);
        shown = text;
        ::SendMessageW(hEdit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(longText.c_str()));
        return ::PostMessageW(hDlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0) != 0;
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    ASSERT_TRUE(ok.Succeeded());
    EXPECT_EQ(shown, L"initial");
    EXPECT_EQ(Str(dlg.m_strText), longText);
    EXPECT_EQ(dlg.m_hWnd, nullptr);

    dlg.m_strText = L"kept";
    ModalDriver cancel(kCaption, [&](HWND hDlg) {
        ::SetDlgItemTextW(hDlg, IDC_TEST_EDIT, L"typed");
        return ::PostMessageW(hDlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0) != 0;
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    ASSERT_TRUE(cancel.Succeeded());
    EXPECT_EQ(Str(dlg.m_strText), L"kept");
}

TEST(Dialog, IsOwnedByItsParentElseTheActiveWindowElseTheMainWindow) {
    CFrameWnd parent;
    ASSERT_TRUE(parent.LoadFrame(IDR_TEST_MENU, WS_OVERLAPPEDWINDOW));
    CWinApp app;
    CFrameWnd* const pMainWnd = new CFrameWnd;
    app.m_pMainWnd = pMainWnd;
    ASSERT_TRUE(pMainWnd->LoadFrame(0, WS_OVERLAPPEDWINDOW));
    const auto ownerOf = [](CWnd* pParent) {
        TestDialog dlg(pParent);
        ModalDriver cancel(kCaption, [](HWND hDlg) {
            return ::PostMessageW(hDlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0) != 0;
        });
        EXPECT_EQ(dlg.DoModal(), IDCANCEL);
        EXPECT_TRUE(cancel.Succeeded());
        return dlg.m_hOwner;
    };

    ASSERT_EQ(::GetActiveWindow(), nullptr);
    EXPECT_EQ(ownerOf(nullptr), pMainWnd->m_hWnd);
    EXPECT_EQ(ownerOf(&parent), parent.m_hWnd);
    // Closing the dialog activated its owner.
    EXPECT_EQ(ownerOf(nullptr), parent.m_hWnd);
    delete app.m_pMainWnd;
}

// What the dialog answered to each request sent by the driving thread.
struct Answers {
    LRESULT editNotify = 0, buttonNotify = 0;
    LRESULT staticBrush = 0, buttonBrush = 0, dialogBrush = 0, editBrush = 0, listBrush = 0;
    LRESULT defaultDialogBrush = 0, defaultEditBrush = 0, defaultListBrush = 0;
};

LRESULT Notify(HWND hDlg, int nID, UINT nCode) {
    NMHDR hdr = {::GetDlgItem(hDlg, nID), static_cast<UINT_PTR>(nID), nCode};
    return ::SendMessageW(hDlg, WM_NOTIFY, nID, reinterpret_cast<LPARAM>(&hdr));
}

// A colour request, through the dialog or straight to the platform's default.
template <class Send> LRESULT Colour(Send send, HWND hDlg, UINT message, HDC hDC, HWND hCtl) {
    return send(hDlg, message, reinterpret_cast<WPARAM>(hDC), reinterpret_cast<LPARAM>(hCtl));
}

TEST(Dialog, HandlersResultsReachTheSenderAndDefaultPassesOn) {
    TestDialog dlg;
    Answers a;
    ModalDriver driver(kCaption, [&](HWND hDlg) {
        const HWND hLabel = ::GetDlgItem(hDlg, IDC_TEST_LABEL);
        const HWND hButton = ::GetDlgItem(hDlg, IDC_TEST_BUTTON);
        // The real controls, painting themselves.
        if (!WaitUntil([&] {
                return dlg.m_bItemStageSeen && dlg.m_hColouredStatic == hLabel &&
                       dlg.m_hColouredButton == hButton;
            }))
            return false;
        a.editNotify = Notify(hDlg, IDC_TEST_EDIT, NM_CLICK);
        a.buttonNotify = Notify(hDlg, IDC_TEST_BUTTON, NM_CLICK);
        const HDC hDC = ::GetDC(hDlg);
        a.staticBrush = Colour(::SendMessageW, hDlg, WM_CTLCOLORSTATIC, hDC, hLabel);
        a.buttonBrush = Colour(::SendMessageW, hDlg, WM_CTLCOLORBTN, hDC, hButton);
        a.dialogBrush = Colour(::SendMessageW, hDlg, WM_CTLCOLORDLG, hDC, hDlg);
        a.editBrush = Colour(::SendMessageW, hDlg, WM_CTLCOLOREDIT, hDC, hLabel);
        a.listBrush = Colour(::SendMessageW, hDlg, WM_CTLCOLORLISTBOX, hDC, hLabel);
        a.defaultDialogBrush = Colour(::DefWindowProcW, hDlg, WM_CTLCOLORDLG, hDC, hDlg);
        a.defaultEditBrush = Colour(::DefWindowProcW, hDlg, WM_CTLCOLOREDIT, hDC, hLabel);
        a.defaultListBrush = Colour(::DefWindowProcW, hDlg, WM_CTLCOLORLISTBOX, hDC, hLabel);
        ::ReleaseDC(hDlg, hDC);
        return ::PostMessageW(hDlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0) != 0;
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    ASSERT_TRUE(driver.Succeeded());

    const LRESULT ownBrush = reinterpret_cast<LRESULT>(dlg.m_hBrush);
    EXPECT_EQ(a.editNotify, 42);
    EXPECT_EQ(a.buttonNotify, 0); // passed on: the dialog manager's answer, not the handler's
    EXPECT_EQ(a.staticBrush, ownBrush);
    EXPECT_EQ(a.buttonBrush, ownBrush);
    EXPECT_EQ(a.dialogBrush, a.defaultDialogBrush);
    EXPECT_NE(a.dialogBrush, ownBrush);
    EXPECT_EQ(a.editBrush, a.defaultEditBrush);
    EXPECT_EQ(a.listBrush, a.defaultListBrush);
    EXPECT_EQ(dlg.m_nestedResult, ownBrush);
}

} // namespace
