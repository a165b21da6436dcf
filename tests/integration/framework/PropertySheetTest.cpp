#include "integration/framework/FrameworkTestRes.h"
#include "integration/framework/ModalDriver.h"
#include "ui/framework/PropertySheet.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

constexpr wchar_t kCaption[] = L"Framework sheet";

class ComboPage : public CPropertyPage {
public:
    ComboPage() : CPropertyPage(IDD_TEST_FIRST_PAGE, IDS_TEST_FIRST_PAGE) {}
    int m_nChoice = 1;

protected:
    BOOL OnInitDialog() override {
        for (const LPCWSTR psz : {L"a", L"b", L"c"})
            ::SendDlgItemMessageW(m_hWnd, IDC_TEST_COMBO, CB_ADDSTRING, 0,
                                  reinterpret_cast<LPARAM>(psz));
        return CPropertyPage::OnInitDialog();
    }
    void DoDataExchange(CDataExchange* pDX) override {
        DDX_CBIndex(pDX, IDC_TEST_COMBO, m_nChoice);
    }
};

// Tells when its window is made, and whether the sheet's window was known by then.
class WatchedPage : public CPropertyPage {
public:
    explicit WatchedPage(const CPropertySheet& sheet)
        : CPropertyPage(IDD_TEST_SECOND_PAGE, IDS_TEST_SECOND_PAGE), m_sheet(sheet) {}
    std::atomic<int> m_nWindows{0};
    bool m_bSheetKnown = false;

protected:
    BOOL OnInitDialog() override {
        m_bSheetKnown = m_sheet.m_hWnd && m_sheet.m_hWnd == ::GetParent(m_hWnd);
        ++m_nWindows;
        return CPropertyPage::OnInitDialog();
    }

private:
    const CPropertySheet& m_sheet;
};

// Colours its controls as the application's pages do: the base's brush, a text colour of its own.
class ColouredPage : public CPropertyPage {
public:
    ColouredPage() : CPropertyPage(IDD_TEST_SECOND_PAGE, IDS_TEST_SECOND_PAGE) {}

protected:
    HBRUSH OnCtlColor(HDC hDC, HWND hWndCtl, UINT nCtlColor) {
        const HBRUSH hBrush = CPropertyPage::OnCtlColor(hDC, hWndCtl, nCtlColor);
        ::SetTextColor(hDC, RGB(0, 0, 156));
        return hBrush;
    }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ColouredPage, CPropertyPage)
ON_WM_CTLCOLOR()
END_MESSAGE_MAP()

// A memory bitmap of the screen's format with a DC to paint it.
class Canvas {
public:
    Canvas(int nWidth, int nHeight) {
        const HDC hScreen = ::GetDC(nullptr);
        m_hDC = ::CreateCompatibleDC(hScreen);
        m_hBitmap = ::CreateCompatibleBitmap(hScreen, nWidth, nHeight);
        ::ReleaseDC(nullptr, hScreen);
        m_hOld = ::SelectObject(m_hDC, m_hBitmap);
    }
    ~Canvas() {
        ::SelectObject(m_hDC, m_hOld);
        ::DeleteObject(m_hBitmap);
        ::DeleteDC(m_hDC);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC DC() const { return m_hDC; }
    COLORREF At(int x, int y) const { return ::GetPixel(m_hDC, x, y); }

private:
    HDC m_hDC = nullptr;
    HBITMAP m_hBitmap = nullptr;
    HGDIOBJ m_hOld = nullptr;
};

// The label's background as its brush paints it, against the page's own background under it.
struct LabelBackground {
    int nPixels = 0;
    int nDiffering = 0;
    COLORREF label = CLR_INVALID;
    COLORREF page = CLR_INVALID;
};

LabelBackground CompareLabelBackground(HWND hPage, HWND hLabel) {
    RECT page = {}, label = {};
    ::GetClientRect(hPage, &page);
    ::GetWindowRect(hLabel, &label);
    ::MapWindowPoints(nullptr, hPage, reinterpret_cast<POINT*>(&label), 2);
    Canvas pageCanvas(page.right, page.bottom);
    ::SendMessageW(hPage, WM_ERASEBKGND, reinterpret_cast<WPARAM>(pageCanvas.DC()), 0);

    const RECT inLabel = {0, 0, label.right - label.left, label.bottom - label.top};
    Canvas labelCanvas(inLabel.right, inLabel.bottom);
    // The answer may move the brush's origin in this DC, as it does for a control's own paint.
    const auto hBrush = reinterpret_cast<HBRUSH>(
        ::SendMessageW(hPage, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(labelCanvas.DC()),
                       reinterpret_cast<LPARAM>(hLabel)));
    ::FillRect(labelCanvas.DC(), &inLabel, hBrush);

    LabelBackground seen;
    for (int y = 0; y < inLabel.bottom; ++y)
        for (int x = 0; x < inLabel.right; ++x) {
            const COLORREF onLabel = labelCanvas.At(x, y);
            const COLORREF onPage = pageCanvas.At(label.left + x, label.top + y);
            ++seen.nPixels;
            if (onLabel != onPage && seen.nDiffering++ == 0) {
                seen.label = onLabel;
                seen.page = onPage;
            }
        }
    return seen;
}

HWND Combo(HWND hSheet) {
    const HWND hPage = reinterpret_cast<HWND>(::SendMessageW(hSheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    return ::GetDlgItem(hPage, IDC_TEST_COMBO);
}

std::wstring TabText(HWND hSheet, int nTab) {
    wchar_t text[32] = {};
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = 32;
    ::SendMessageW(PropSheet_GetTabControl(hSheet), TCM_GETITEMW, nTab,
                   reinterpret_cast<LPARAM>(&item));
    return text;
}

struct SheetRun {
    INT_PTR result = -2;
    int nChoice = -2;
    int nShownChoice = -2;
};

// One run of a two-page sheet, the first page's combo set to nChoice before the button is
// pressed; bLeaveFirst moves to the second page first.
SheetRun RunSheet(int nChoice, bool bLeaveFirst, int nButton) {
    CPropertySheet sheet(kCaption);
    ComboPage first;
    WatchedPage second(sheet);
    sheet.AddPage(&first);
    sheet.AddPage(&second);
    SheetRun run;
    ModalDriver driver(kCaption, [&](HWND hSheet) {
        run.nShownChoice = static_cast<int>(::SendMessageW(Combo(hSheet), CB_GETCURSEL, 0, 0));
        ::SendMessageW(Combo(hSheet), CB_SETCURSEL, nChoice, 0);
        if (bLeaveFirst)
            ::SendMessageW(hSheet, PSM_SETCURSEL, 1, 0);
        return ::PostMessageW(hSheet, PSM_PRESSBUTTON, nButton, 0) != 0;
    });
    run.result = sheet.DoModal();
    EXPECT_TRUE(driver.Succeeded());
    EXPECT_EQ(sheet.m_hWnd, nullptr);
    EXPECT_EQ(second.m_nWindows, bLeaveFirst ? 1 : 0);
    run.nChoice = first.m_nChoice;
    return run;
}

TEST(Sheet, LeavingAPageAndOkSaveItsControlsCancelDoesNot) {
    const SheetRun leaveThenOk = RunSheet(2, true, PSBTN_OK);
    EXPECT_GT(leaveThenOk.result, 0);
    EXPECT_EQ(leaveThenOk.nShownChoice, 1); // the member, shown when the page was made
    EXPECT_EQ(leaveThenOk.nChoice, 2);

    const SheetRun ok = RunSheet(0, false, PSBTN_OK);
    EXPECT_GT(ok.result, 0);
    EXPECT_EQ(ok.nChoice, 0);

    const SheetRun cancel = RunSheet(0, false, PSBTN_CANCEL);
    EXPECT_EQ(cancel.result, 0);
    EXPECT_EQ(cancel.nChoice, 1);
}

TEST(Sheet, MakesEachPageWhenFirstShownUnderItsCaption) {
    CPropertySheet sheet(kCaption);
    ComboPage first;
    WatchedPage second(sheet);
    sheet.AddPage(&first);
    sheet.AddPage(&second);
    std::wstring tabs[2];
    int nWindowsBefore = -1;
    ModalDriver driver(kCaption, [&](HWND hSheet) {
        tabs[0] = TabText(hSheet, 0);
        tabs[1] = TabText(hSheet, 1);
        nWindowsBefore = second.m_nWindows;
        ::SendMessageW(hSheet, PSM_SETCURSEL, 1, 0);
        ::SendMessageW(hSheet, PSM_SETCURSEL, 0, 0);
        ::SendMessageW(hSheet, PSM_SETCURSEL, 1, 0);
        return ::PostMessageW(hSheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0) != 0;
    });
    sheet.DoModal();
    ASSERT_TRUE(driver.Succeeded());
    EXPECT_EQ(tabs[0], L"First");
    EXPECT_EQ(tabs[1], L"Second");
    EXPECT_EQ(nWindowsBefore, 0);
    EXPECT_EQ(second.m_nWindows, 1);
    EXPECT_TRUE(second.m_bSheetKnown);
}

TEST(Sheet, APagesLabelsGetThePagesOwnBackground) {
    CPropertySheet sheet(kCaption);
    ComboPage first;
    ColouredPage second;
    sheet.AddPage(&first);
    sheet.AddPage(&second);
    LabelBackground seen;
    ModalDriver driver(kCaption, [&](HWND hSheet) {
        ::SendMessageW(hSheet, PSM_SETCURSEL, 1, 0);
        const HWND hPage =
            reinterpret_cast<HWND>(::SendMessageW(hSheet, PSM_GETCURRENTPAGEHWND, 0, 0));
        seen = CompareLabelBackground(hPage, ::GetDlgItem(hPage, IDC_TEST_LABEL));
        return ::PostMessageW(hSheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0) != 0;
    });
    sheet.DoModal();
    ASSERT_TRUE(driver.Succeeded());
    EXPECT_GT(seen.nPixels, 0);
    EXPECT_EQ(seen.nDiffering, 0) << std::hex << "label 0x" << seen.label << ", page 0x"
                                  << seen.page;
}

} // namespace
