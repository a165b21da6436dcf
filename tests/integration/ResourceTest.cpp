// Reads the application's resources back from this executable, which links the real resource
// script, with the platform's own loaders, and compares them with the contract written out here.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

namespace {

HMODULE Module() { return ::GetModuleHandleW(nullptr); }

std::wstring Lower(std::wstring str) {
    std::transform(str.begin(), str.end(), str.begin(),
                   [](wchar_t ch) { return static_cast<wchar_t>(std::towlower(ch)); });
    return str;
}

struct Bytes {
    const BYTE* pData = nullptr;
    DWORD cbSize = 0;
};

Bytes FindBytes(LPCWSTR pszType, LPCWSTR pszName) {
    const HRSRC hInfo = ::FindResourceW(Module(), pszName, pszType);
    if (!hInfo)
        return {};
    const HGLOBAL hLoaded = ::LoadResource(Module(), hInfo);
    return {static_cast<const BYTE*>(::LockResource(hLoaded)), ::SizeofResource(Module(), hInfo)};
}

// Named callbacks, not lambdas: on 32-bit the platform calls them with its own convention.
BOOL CALLBACK AddResourceId(HMODULE, LPCWSTR, LPWSTR pszName, LONG_PTR lParam) {
    reinterpret_cast<std::vector<WORD>*>(lParam)->push_back(
        static_cast<WORD>(reinterpret_cast<ULONG_PTR>(pszName)));
    return TRUE;
}

BOOL CALLBACK AddResourceLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD nLanguage, LONG_PTR lParam) {
    reinterpret_cast<std::vector<WORD>*>(lParam)->push_back(nLanguage);
    return TRUE;
}

// The numeric names of every resource of one type, in ascending order.
std::vector<WORD> ResourceIds(LPCWSTR pszType) {
    std::vector<WORD> ids;
    ::EnumResourceNamesW(Module(), pszType, AddResourceId, reinterpret_cast<LONG_PTR>(&ids));
    std::sort(ids.begin(), ids.end());
    return ids;
}

std::vector<WORD> ResourceLanguages(LPCWSTR pszType, WORD nId) {
    std::vector<WORD> languages;
    ::EnumResourceLanguagesW(Module(), pszType, MAKEINTRESOURCEW(nId), AddResourceLanguage,
                             reinterpret_cast<LONG_PTR>(&languages));
    return languages;
}

TEST(ResourceSetTest, OnlyTheProgramsResourcesAreStoredAllInUsEnglish) {
    EXPECT_EQ(ResourceIds(RT_DIALOG), (std::vector<WORD>{132, 2000, 2100, 3000}));
    EXPECT_EQ(ResourceIds(RT_MENU), (std::vector<WORD>{129}));
    EXPECT_EQ(ResourceIds(RT_GROUP_ICON), (std::vector<WORD>{128}));
    EXPECT_EQ(ResourceIds(RT_VERSION), (std::vector<WORD>{1}));
    const WORD nUsEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
    for (const LPCWSTR pszType :
         {RT_STRING, RT_DIALOG, RT_MENU, RT_GROUP_ICON, RT_ICON, RT_VERSION})
        for (const WORD nId : ResourceIds(pszType))
            EXPECT_EQ(ResourceLanguages(pszType, nId), (std::vector<WORD>{nUsEnglish}))
                << "type " << reinterpret_cast<ULONG_PTR>(pszType) << ", resource " << nId;
}

// ---------------------------------------------------------------------------------------------
// String table

struct StringEntry {
    UINT nId;
    const wchar_t* pszText;
};

const StringEntry kStrings[] = {
    {1, L"Muntara Audio"},
    {2, L"Equalizer & AGC"},
    {3, L"Muntara Audio is already running. Try again in a moment."},
    {200, L"Equalizer"},
    {201, L"Headphone Equalizer"},
    {202, L"Enable Headphone Equalizer"},
    {203, L"MAX"},
    {204, L"MIN"},
    {205, L"100Hz"},
    {206, L"250Hz"},
    {207, L"1KHz"},
    {208, L"3.5KHz"},
    {209, L"10KHz"},
    {210, L"Mode:"},
    {211, L"New"},
    {212, L"Save"},
    {213, L"Delete"},
    {250, L"Add \"%s\" Mode?"},
    {251, L"Delete \"%s\" Mode?"},
    {252, L"Save \"%s\" Mode?"},
    {270, L"Flat"},
    {271, L"Classical"},
    {272, L"Rock"},
    {273, L"Jazz"},
    {274, L"Dance"},
    {275, L"Vocal"},
    {280, L"Can't delete the default mode!"},
    {281, L"Can't add more mode! the maximum user-defined mode number is 16."},
    {282, L"Can't modify the default mode!"},
    {283, L"The mode name can not be empty!"},
    {284, L"Mode name already exists.  Please use another name."},
    {290, L"Plug-in headphone to activate Equalizer Function."},
    {300, L"Save Mode"},
    {301, L"Mode Name:"},
    {400, L"Mic"},
    {401, L"Microphone"},
    {402, L"Enable AGC"},
    {403, L"MIN"},
    {404, L"MAX"},
    {405, L"Mode:"},
    {406, L"Quiet"},
    {407, L"Normal"},
    {408, L"Noisy"},
};

// Every non-empty string the table holds: a block of sixteen counted strings per resource.
std::set<UINT> StoredStringIds() {
    std::set<UINT> ids;
    for (const WORD nBlock : ResourceIds(RT_STRING)) {
        const Bytes bytes = FindBytes(RT_STRING, MAKEINTRESOURCEW(nBlock));
        const WORD* pWord = reinterpret_cast<const WORD*>(bytes.pData);
        const WORD* const pEnd = pWord + bytes.cbSize / sizeof(WORD);
        for (UINT nIndex = 0; nIndex < 16 && pWord < pEnd; ++nIndex) {
            if (*pWord != 0)
                ids.insert((nBlock - 1) * 16 + nIndex);
            pWord += 1 + *pWord;
        }
    }
    return ids;
}

TEST(StringTableTest, EveryStringLoadsExactlyAndNoOtherIsStored) {
    std::set<UINT> expectedIds;
    for (const auto& [nId, pszText] : kStrings) {
        wchar_t szBuffer[128];
        std::fill(std::begin(szBuffer), std::end(szBuffer), L'\xBDBD');
        const int nLength = ::LoadStringW(Module(), nId, szBuffer, 128);
        EXPECT_EQ(std::wstring(szBuffer, std::max(nLength, 0)), pszText) << "string " << nId;
        EXPECT_EQ(szBuffer[std::max(nLength, 0)], L'\0') << "string " << nId;
        expectedIds.insert(nId);
    }
    EXPECT_EQ(StoredStringIds(), expectedIds);

    // The menu bar's button text is not part of the desktop's table.
    wchar_t szBuffer[16];
    EXPECT_EQ(::LoadStringW(Module(), 32772, szBuffer, 16), 0);
}

// ---------------------------------------------------------------------------------------------
// Dialog templates

struct Control {
    int nId;
    std::wstring strClass; // a predefined class's atom is read as its name
    std::wstring strText;
    DWORD dwStyle;
    short x, y, cx, cy;
    DWORD dwExStyle = 0;
    WORD cbCreationData = 0;

    bool operator==(const Control& other) const {
        return nId == other.nId && Lower(strClass) == Lower(other.strClass) &&
               strText == other.strText && dwStyle == other.dwStyle && x == other.x &&
               y == other.y && cx == other.cx && cy == other.cy && dwExStyle == other.dwExStyle &&
               cbCreationData == other.cbCreationData;
    }
};

std::ostream& operator<<(std::ostream& out, const Control& control) {
    return out << "{" << control.nId << ", " << testing::PrintToString(control.strClass) << ", "
               << testing::PrintToString(control.strText) << ", 0x" << std::hex << control.dwStyle
               << std::dec << ", " << control.x << ", " << control.y << ", " << control.cx << ", "
               << control.cy << ", ex 0x" << std::hex << control.dwExStyle << std::dec << ", data "
               << control.cbCreationData << "}";
}

struct ExpectedDialog {
    WORD nId;
    DWORD dwStyle;
    short cx, cy;
    std::wstring strCaption;
    std::vector<Control> controls;
};

const std::wstring kRule(65, L'_');
constexpr DWORD kPageStyle = 0x40000040;

const ExpectedDialog kEqualizerPage = {
    2000,
    kPageStyle,
    263,
    154,
    L"",
    {
        {2001, L"Static", L"_Equalizer", 0x50020000, 5, 3, 140, 9},
        {-1, L"Static", kRule, 0x50020000, -1, 6, 261, 8},
        {2005, L"Static", L"100Hz", 0x50020001, 30, 33, 21, 8},
        {2006, L"Static", L"250Hz", 0x50020001, 55, 33, 21, 8},
        {2007, L"Static", L"1KHz", 0x50020001, 82, 33, 17, 8},
        {2008, L"Static", L"3.5KHz", 0x50020001, 103, 33, 24, 8},
        {2009, L"Static", L"10KHz", 0x50020001, 131, 33, 21, 8},
        {2003, L"Static", L"_MAX", 0x50020002, 8, 40, 19, 10},
        {2004, L"Static", L"_MIN", 0x50020002, 8, 90, 19, 10},
        {2051, L"msctls_trackbar32", L"Slider2", 0x50010007, 28, 38, 24, 64},
        {2052, L"msctls_trackbar32", L"Slider2", 0x50000016, 58, 38, 16, 64},
        {2054, L"msctls_trackbar32", L"Slider2", 0x50000016, 82, 38, 16, 64},
        {2053, L"msctls_trackbar32", L"Slider2", 0x50000016, 107, 38, 16, 64},
        {2055, L"msctls_trackbar32", L"Slider2", 0x50000016, 133, 38, 16, 64},
        {2010, L"Static", L"_Mode:", 0x50020002, 6, 107, 25, 10},
        {2056, L"ComboBox", L"", 0x50210003, 34, 106, 112, 92},
        {2012, L"Button", L"_Save", 0x50010000, 56, 125, 42, 14},
        {2013, L"Button", L"_Delete", 0x50010000, 102, 125, 42, 14},
        {2002, L"Button", L"_Enable equalizer", 0x50010003, 8, 19, 140, 11},
        {2011, L"Button", L"_New", 0x50010000, 10, 125, 42, 14},
    },
};

const ExpectedDialog kMicPage = {
    3000,
    kPageStyle,
    256,
    129,
    L"",
    {
        {3001, L"Static", L"_AGC", 0x50020000, 5, 3, 140, 9},
        {-1, L"Static", kRule, 0x50020000, -1, 6, 255, 8},
        {3100, L"msctls_trackbar32", L"Slider1", 0x50010001, 6, 35, 141, 18},
        {3003, L"Static", L"_MIN", 0x50020001, 3, 58, 19, 9},
        {3004, L"Static", L"_MAX", 0x50020001, 130, 58, 19, 9},
        {3002, L"Button", L"_Enable AGC", 0x50010003, 8, 19, 140, 11},
        {3102, L"ComboBox", L"", 0x50210003, 36, 74, 112, 50},
        {3005, L"Static", L"_Mode:", 0x50020002, 6, 76, 25, 10},
    },
};

const ExpectedDialog kSaveModeDialog = {
    2100,
    0xC0C800C0,
    161,
    54,
    L"_Save mode",
    {
        {2151, L"Edit", L"", 0x50810080, 51, 10, 100, 14},
        {IDOK, L"Button", L"OK", 0x50010001, 45, 33, 50, 14},
        {IDCANCEL, L"Button", L"Cancel", 0x50010000, 101, 33, 50, 14},
        {2101, L"Static", L"_Mode Name:", 0x50020000, 4, 13, 47, 10},
    },
};

// Reads a dialog template word by word; a read past the end marks it failed and yields zeros.
class TemplateReader {
public:
    explicit TemplateReader(Bytes bytes) : m_bytes(bytes) {}

    bool Failed() const { return m_bFailed; }

    WORD Word() {
        WORD nWord = 0;
        Read(&nWord, sizeof nWord);
        return nWord;
    }
    DWORD Dword() {
        DWORD dwWord = 0;
        Read(&dwWord, sizeof dwWord);
        return dwWord;
    }
    short Short() { return static_cast<short>(Word()); }

    // A string, or 0xFFFF and an ordinal; a predefined class's ordinal is given as its name.
    std::wstring StringOrOrdinal() {
        const WORD nFirst = Word();
        if (nFirst == 0xFFFF)
            return OrdinalName(Word());
        std::wstring str;
        for (WORD ch = nFirst; ch != 0 && !m_bFailed; ch = Word())
            str += static_cast<wchar_t>(ch);
        return str;
    }

    void AlignToDword() { m_nOffset = (m_nOffset + 3) & ~3u; }

private:
    static std::wstring OrdinalName(WORD nOrdinal) {
        const wchar_t* const predefined[] = {L"Button",  L"Edit",      L"Static",
                                             L"ListBox", L"ScrollBar", L"ComboBox"};
        if (nOrdinal >= 0x80 && nOrdinal <= 0x85)
            return predefined[nOrdinal - 0x80];
        return L"#" + std::to_wstring(nOrdinal);
    }

    void Read(void* pOut, DWORD cbSize) {
        if (m_bFailed || m_nOffset + cbSize > m_bytes.cbSize) {
            m_bFailed = true;
            return;
        }
        std::copy_n(m_bytes.pData + m_nOffset, cbSize, static_cast<BYTE*>(pOut));
        m_nOffset += cbSize;
    }

    Bytes m_bytes;
    DWORD m_nOffset = 0;
    bool m_bFailed = false;
};

struct DialogTemplate {
    DWORD dwStyle = 0, dwExStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::wstring strMenu, strClass, strCaption, strFont;
    WORD nPointSize = 0;
    std::vector<Control> controls;
};

Control ReadControl(TemplateReader& reader) {
    reader.AlignToDword();
    Control control{};
    control.dwStyle = reader.Dword();
    control.dwExStyle = reader.Dword();
    control.x = reader.Short();
    control.y = reader.Short();
    control.cx = reader.Short();
    control.cy = reader.Short();
    control.nId = reader.Short();
    control.strClass = reader.StringOrOrdinal();
    control.strText = reader.StringOrOrdinal();
    control.cbCreationData = reader.Word();
    return control;
}

// The compiler writes the classic template (DLGTEMPLATE), not the extended one.
DialogTemplate ReadDialog(WORD nId, bool& bFailed) {
    TemplateReader reader(FindBytes(RT_DIALOG, MAKEINTRESOURCEW(nId)));
    DialogTemplate dialog;
    dialog.dwStyle = reader.Dword();
    dialog.dwExStyle = reader.Dword();
    const WORD nControls = reader.Word();
    dialog.x = reader.Short();
    dialog.y = reader.Short();
    dialog.cx = reader.Short();
    dialog.cy = reader.Short();
    dialog.strMenu = reader.StringOrOrdinal();
    dialog.strClass = reader.StringOrOrdinal();
    dialog.strCaption = reader.StringOrOrdinal();
    if (dialog.dwStyle & DS_SETFONT) {
        dialog.nPointSize = reader.Word();
        dialog.strFont = reader.StringOrOrdinal();
    }
    for (WORD nControl = 0; nControl < nControls && !reader.Failed(); ++nControl)
        dialog.controls.push_back(ReadControl(reader));
    bFailed = reader.Failed();
    return dialog;
}

void PrintTo(const ExpectedDialog* pExpected, std::ostream* pOut) {
    *pOut << "template " << pExpected->nId;
}

class DialogTemplateTest : public testing::TestWithParam<const ExpectedDialog*> {};

TEST_P(DialogTemplateTest, TemplateHoldsEveryControlInOrder) {
    const ExpectedDialog& expected = *GetParam();
    bool bFailed = false;
    const DialogTemplate dialog = ReadDialog(expected.nId, bFailed);
    ASSERT_FALSE(bFailed) << "template " << expected.nId << " missing or cut short";

    EXPECT_EQ(dialog.dwStyle, expected.dwStyle);
    EXPECT_EQ(dialog.dwExStyle, 0u);
    EXPECT_EQ(dialog.x, 0);
    EXPECT_EQ(dialog.y, 0);
    EXPECT_EQ(dialog.cx, expected.cx);
    EXPECT_EQ(dialog.cy, expected.cy);
    EXPECT_EQ(dialog.strMenu, L"");
    EXPECT_EQ(dialog.strClass, L"");
    EXPECT_EQ(dialog.strCaption, expected.strCaption);
    EXPECT_EQ(dialog.nPointSize, 8);
    EXPECT_EQ(dialog.strFont, L"Tahoma");

    ASSERT_EQ(dialog.controls.size(), expected.controls.size());
    for (size_t nIndex = 0; nIndex < expected.controls.size(); ++nIndex)
        EXPECT_EQ(dialog.controls[nIndex], expected.controls[nIndex]) << "control " << nIndex;
}

INSTANTIATE_TEST_SUITE_P(Templates, DialogTemplateTest,
                         testing::Values(&kEqualizerPage, &kMicPage, &kSaveModeDialog),
                         [](const testing::TestParamInfo<const ExpectedDialog*>& info) {
                             return "Dialog" + std::to_string(info.param->nId);
                         });

struct WindowDestroyer {
    void operator()(HWND hWnd) const { ::DestroyWindow(hWnd); }
};
using UniqueWindow = std::unique_ptr<std::remove_pointer_t<HWND>, WindowDestroyer>;

INT_PTR CALLBACK PageProc(HWND, UINT nMsg, WPARAM, LPARAM) { return nMsg == WM_INITDIALOG; }

std::wstring WindowClass(HWND hWnd) {
    wchar_t szClass[64] = L"";
    ::GetClassNameW(hWnd, szClass, 64);
    return szClass;
}

std::wstring WindowText(HWND hWnd) {
    wchar_t szText[128] = L"";
    ::GetWindowTextW(hWnd, szText, 128);
    return szText;
}

// The pages are child dialogs: they are created inside a top-level window, as the sheet does. The
// Save Mode dialog, child and pop-up bits both set, is created the same way.
TEST(DialogCreationTest, TemplatesCreateWithEveryControlAtTheirSize) {
    const INITCOMMONCONTROLSEX init = {sizeof init, ICC_BAR_CLASSES};
    ASSERT_TRUE(::InitCommonControlsEx(&init));
    const UniqueWindow parent(::CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 600, 400,
                                                nullptr, nullptr, Module(), nullptr));
    ASSERT_TRUE(parent);

    for (const ExpectedDialog* pExpected : {&kEqualizerPage, &kMicPage, &kSaveModeDialog}) {
        SCOPED_TRACE(testing::Message() << "template " << pExpected->nId);
        const UniqueWindow dialog(::CreateDialogParamW(Module(), MAKEINTRESOURCEW(pExpected->nId),
                                                       parent.get(), PageProc, 0));
        ASSERT_TRUE(dialog) << "error " << ::GetLastError();

        RECT expected = {0, 0, pExpected->cx, pExpected->cy};
        ASSERT_TRUE(::MapDialogRect(dialog.get(), &expected));
        RECT client = {};
        ::GetClientRect(dialog.get(), &client);
        EXPECT_EQ(client.right, expected.right);
        EXPECT_EQ(client.bottom, expected.bottom);

        for (const Control& control : pExpected->controls) {
            if (control.nId == -1)
                continue;
            const HWND hControl = ::GetDlgItem(dialog.get(), control.nId);
            ASSERT_TRUE(hControl) << "control " << control.nId;
            EXPECT_EQ(Lower(WindowClass(hControl)), Lower(control.strClass)) << control.nId;
            EXPECT_EQ(WindowText(hControl), control.strText) << control.nId;
        }
    }
}

// No code shows the headphone prompt as a dialog, but it stands as described.
TEST(PromptDialogTest, HoldsTheHeadphoneTextUnderItsCaption) {
    bool bFailed = false;
    const DialogTemplate prompt = ReadDialog(132, bFailed);
    ASSERT_FALSE(bFailed);
    EXPECT_EQ(prompt.strCaption, L"Dialog");
    ASSERT_EQ(prompt.controls.size(), 1u);
    EXPECT_EQ(Lower(prompt.controls[0].strClass), L"static");
    EXPECT_EQ(prompt.controls[0].strText, L"_Plug-in headphone to activate Equalizer Function.");
}

// ---------------------------------------------------------------------------------------------
// Icon group 128

constexpr WORD kIconGroup = 128;
constexpr int kIconSizes[] = {44, 32, 22, 16};

struct IconEntry {
    int nWidth, nHeight, nBitCount;
    WORD nIconId;
};

WORD ReadWord(const BYTE* pData) { return static_cast<WORD>(pData[0] | pData[1] << 8); }

// The group's directory: a 6-byte header, then one packed 14-byte entry per image.
std::vector<IconEntry> IconGroupEntries(const Bytes& group) {
    std::vector<IconEntry> entries;
    if (group.cbSize < 6)
        return entries;
    const WORD nCount = ReadWord(group.pData + 4);
    for (WORD nIndex = 0; nIndex < nCount && 6 + 14u * (nIndex + 1) <= group.cbSize; ++nIndex) {
        const BYTE* pEntry = group.pData + 6 + 14 * nIndex;
        const int nWidth = pEntry[0] ? pEntry[0] : 256;
        const int nHeight = pEntry[1] ? pEntry[1] : 256;
        entries.push_back({nWidth, nHeight, ReadWord(pEntry + 6), ReadWord(pEntry + 12)});
    }
    return entries;
}

TEST(IconTest, GroupListsTheFourSizesAt8BitsAndEachImageIsWhatItClaims) {
    const Bytes group = FindBytes(RT_GROUP_ICON, MAKEINTRESOURCEW(kIconGroup));
    ASSERT_TRUE(group.pData);
    const std::vector<IconEntry> entries = IconGroupEntries(group);
    ASSERT_EQ(entries.size(), std::size(kIconSizes));
    for (size_t nIndex = 0; nIndex < entries.size(); ++nIndex) {
        const IconEntry& entry = entries[nIndex];
        SCOPED_TRACE(testing::Message() << "entry " << nIndex);
        EXPECT_EQ(entry.nWidth, kIconSizes[nIndex]);
        EXPECT_EQ(entry.nHeight, kIconSizes[nIndex]);
        EXPECT_EQ(entry.nBitCount, 8);

        // The image itself: colour rows and mask rows, hence twice the height.
        const Bytes image = FindBytes(RT_ICON, MAKEINTRESOURCEW(entry.nIconId));
        ASSERT_GE(image.cbSize, sizeof(BITMAPINFOHEADER));
        BITMAPINFOHEADER header;
        std::copy_n(image.pData, sizeof header, reinterpret_cast<BYTE*>(&header));
        EXPECT_EQ(header.biWidth, entry.nWidth);
        EXPECT_EQ(header.biHeight, 2 * entry.nHeight);
        EXPECT_EQ(header.biBitCount, 8);
    }
}

struct IconDestroyer {
    void operator()(HICON hIcon) const { ::DestroyIcon(hIcon); }
};
struct BitmapDeleter {
    void operator()(HBITMAP hBitmap) const { ::DeleteObject(hBitmap); }
};
using UniqueIcon = std::unique_ptr<std::remove_pointer_t<HICON>, IconDestroyer>;
using UniqueBitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, BitmapDeleter>;

TEST(IconTest, EachSizeLoadsFromItsOwnImage) {
    const Bytes group = FindBytes(RT_GROUP_ICON, MAKEINTRESOURCEW(kIconGroup));
    ASSERT_TRUE(group.pData);
    for (const int nSize : kIconSizes) {
        SCOPED_TRACE(testing::Message() << nSize << " pixels");
        // The platform picks the image drawn for this size, not one scaled from another.
        const int nChosen = ::LookupIconIdFromDirectoryEx(const_cast<BYTE*>(group.pData), TRUE,
                                                          nSize, nSize, LR_DEFAULTCOLOR);
        const Bytes image = FindBytes(RT_ICON, MAKEINTRESOURCEW(nChosen));
        ASSERT_GE(image.cbSize, sizeof(BITMAPINFOHEADER));
        BITMAPINFOHEADER header;
        std::copy_n(image.pData, sizeof header, reinterpret_cast<BYTE*>(&header));
        EXPECT_EQ(header.biWidth, nSize);

        const UniqueIcon icon(static_cast<HICON>(
            ::LoadImageW(Module(), MAKEINTRESOURCEW(kIconGroup), IMAGE_ICON, nSize, nSize, 0)));
        ASSERT_TRUE(icon);
        ICONINFO info = {};
        ASSERT_TRUE(::GetIconInfo(icon.get(), &info));
        const UniqueBitmap colour(info.hbmColor);
        const UniqueBitmap mask(info.hbmMask);
        BITMAP bitmap = {};
        ASSERT_TRUE(::GetObjectW(colour.get(), sizeof bitmap, &bitmap));
        EXPECT_EQ(bitmap.bmWidth, nSize);
        EXPECT_EQ(bitmap.bmHeight, nSize);
    }
}

// ---------------------------------------------------------------------------------------------
// Menu 129 and the version record

struct MenuDestroyer {
    void operator()(HMENU hMenu) const { ::DestroyMenu(hMenu); }
};
using UniqueMenu = std::unique_ptr<std::remove_pointer_t<HMENU>, MenuDestroyer>;

struct MenuItem {
    std::wstring strText;
    UINT nId = 0;
    UINT nState = 0;
    HMENU hSubMenu = nullptr;
};

MenuItem ReadMenuItem(HMENU hMenu, UINT nPosition) {
    wchar_t szText[64] = L"";
    MENUITEMINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STRING | MIIM_ID | MIIM_STATE | MIIM_SUBMENU;
    info.dwTypeData = szText;
    info.cch = 64;
    if (!::GetMenuItemInfoW(hMenu, nPosition, TRUE, &info))
        return {L"(none)"};
    return {szText, info.wID, info.fState, info.hSubMenu};
}

TEST(MenuTest, FunctionPopUpHoldsBothSwitchesChecked) {
    const UniqueMenu menu(::LoadMenuW(Module(), MAKEINTRESOURCEW(129)));
    ASSERT_TRUE(menu);
    ASSERT_EQ(::GetMenuItemCount(menu.get()), 1);
    const MenuItem popUp = ReadMenuItem(menu.get(), 0);
    EXPECT_EQ(popUp.strText, L"Function");
    ASSERT_TRUE(popUp.hSubMenu);

    ASSERT_EQ(::GetMenuItemCount(popUp.hSubMenu), 2);
    const std::pair<const wchar_t*, UINT> expected[] = {{L"Enable EQ", 32773},
                                                        {L"Enable AGC", 32774}};
    for (UINT nPosition = 0; nPosition < 2; ++nPosition) {
        const MenuItem item = ReadMenuItem(popUp.hSubMenu, nPosition);
        EXPECT_EQ(item.strText, expected[nPosition].first);
        EXPECT_EQ(item.nId, expected[nPosition].second);
        EXPECT_EQ(item.nState, static_cast<UINT>(MFS_CHECKED)) << item.nId;
        EXPECT_FALSE(item.hSubMenu);
    }
}

// Read as any program reads a file's version: from the executable on disk.
TEST(VersionTest, VersionIs1_0_2_0InUsEnglishUnicode) {
    wchar_t szPath[MAX_PATH];
    ASSERT_GT(::GetModuleFileNameW(nullptr, szPath, MAX_PATH), 0u);
    const DWORD cbSize = ::GetFileVersionInfoSizeW(szPath, nullptr);
    ASSERT_GT(cbSize, 0u);
    std::vector<BYTE> data(cbSize);
    ASSERT_TRUE(::GetFileVersionInfoW(szPath, 0, cbSize, data.data()));

    VS_FIXEDFILEINFO* pFixed = nullptr;
    UINT cbFixed = 0;
    ASSERT_TRUE(::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&pFixed), &cbFixed));
    ASSERT_EQ(cbFixed, sizeof *pFixed);
    EXPECT_EQ(pFixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(pFixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(pFixed->dwFileVersionLS, 0x00020000u);
    EXPECT_EQ(pFixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(pFixed->dwProductVersionLS, 0x00020000u);

    WORD* pTranslation = nullptr;
    UINT cbTranslation = 0;
    ASSERT_TRUE(::VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation",
                                 reinterpret_cast<void**>(&pTranslation), &cbTranslation));
    ASSERT_EQ(cbTranslation, 4u);
    EXPECT_EQ(pTranslation[0], 0x0409);
    EXPECT_EQ(pTranslation[1], 0x04B0);

    for (const wchar_t* pszName : {L"FileVersion", L"ProductVersion"}) {
        wchar_t* pszValue = nullptr;
        UINT cchValue = 0;
        const std::wstring strPath = std::wstring(L"\\StringFileInfo\\040904B0\\") + pszName;
        ASSERT_TRUE(::VerQueryValueW(data.data(), strPath.c_str(),
                                     reinterpret_cast<void**>(&pszValue), &cchValue))
            << testing::PrintToString(strPath);
        EXPECT_EQ(std::wstring(pszValue), L"1, 0, 2, 0");
    }
}

} // namespace
