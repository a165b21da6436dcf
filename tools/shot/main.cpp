// muntara-shot: waits for a visible top-level window with a given caption, optionally shows one
// tab of a property sheet, saves the window as the screen shows it as a PNG, and optionally
// closes the window. The PNG comes from the platform's imaging component.

#include "platform/Handle.h"
#include "tools/shot/ComScope.h"

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitNotFound = 1;
constexpr int kExitUsage = 2;
constexpr int kExitFailed = 3; // found, but the picture or the close failed

constexpr DWORD kPollMs = 20;
// A painted window reaches the X server when its thread goes idle; the picture counts as
// painted once two captures this far apart agree.
constexpr DWORD kSettleIntervalMs = 100;
constexpr DWORD kSettleMaxMs = 3000;
constexpr UINT kSendTimeoutMs = 5000;

constexpr wchar_t kUsage[] =
    L"usage: muntara-shot --caption TEXT [--sheet | --message] [--tab N] [--out FILE.png]\n"
    L"                    [--close] [--timeout SECONDS]\n"
    L"  waits (default 20 s) for a visible top-level window captioned TEXT\n"
    L"  --sheet      only the property sheet (the window that holds a tab control)\n"
    L"  --message    only a window without a tab control (a message box)\n"
    L"  --tab N      shows tab N (from 0) of the sheet first; implies --sheet\n"
    L"  --out FILE   saves the window as the screen shows it\n"
    L"  --close      then closes it: Cancel for a sheet, OK for a message box\n"
    L"exit codes: 0 done, 1 no such window in time, 2 bad usage, 3 capture or close failed\n";

enum class WindowKind { Any, Sheet, Message };

struct Options {
    std::wstring strCaption;
    WindowKind kind = WindowKind::Any;
    int nTab = -1;
    std::wstring strOut;
    bool bClose = false;
    DWORD dwTimeoutMs = 20000;
};

// A whole decimal number up to nMax.
bool ParseNumber(const wchar_t* pszText, unsigned long nMax, unsigned long& nValue) {
    wchar_t* pszEnd = nullptr;
    nValue = std::wcstoul(pszText, &pszEnd, 10);
    return *pszText >= L'0' && *pszText <= L'9' && *pszEnd == L'\0' && nValue <= nMax;
}

// One option that takes no value; false when strArg is none.
bool ParseFlag(const std::wstring& strArg, Options& options) {
    if (strArg == L"--close") {
        options.bClose = true;
        return true;
    }
    if (strArg != L"--sheet" && strArg != L"--message")
        return false;
    const WindowKind kind = strArg == L"--sheet" ? WindowKind::Sheet : WindowKind::Message;
    if (options.kind != WindowKind::Any && options.kind != kind)
        return false; // --sheet with --message: the caller finds no option and refuses
    options.kind = kind;
    return true;
}

// One option with its value.
bool ParseValue(const std::wstring& strArg, const wchar_t* pszValue, Options& options) {
    unsigned long nValue = 0;
    if (strArg == L"--caption")
        options.strCaption = pszValue;
    else if (strArg == L"--out")
        options.strOut = pszValue;
    else if (strArg == L"--tab" && ParseNumber(pszValue, 99, nValue))
        options.nTab = static_cast<int>(nValue);
    else if (strArg == L"--timeout" && ParseNumber(pszValue, 3600, nValue))
        options.dwTimeoutMs = static_cast<DWORD>(nValue) * 1000;
    else
        return false;
    return true;
}

bool ParseOptions(int argc, wchar_t** argv, Options& options) {
    for (int nArg = 1; nArg < argc; ++nArg) {
        const std::wstring strArg = argv[nArg];
        if (ParseFlag(strArg, options))
            continue;
        if (nArg + 1 >= argc || !ParseValue(strArg, argv[nArg + 1], options))
            return false;
        ++nArg;
    }
    if (options.nTab >= 0 && options.kind == WindowKind::Message)
        return false;
    if (options.nTab >= 0)
        options.kind = WindowKind::Sheet;
    return !options.strCaption.empty();
}

// Polls until pred() holds or the deadline passes.
template <typename Pred> bool WaitUntil(ULONGLONG ullDeadline, Pred pred) {
    while (!pred()) {
        if (::GetTickCount64() >= ullDeadline)
            return false;
        ::Sleep(kPollMs);
    }
    return true;
}

// A property sheet holds its tabs in a tab control, a direct child; a message box holds none.
bool HoldsTabControl(HWND hWnd) {
    return ::FindWindowExW(hWnd, nullptr, WC_TABCONTROLW, nullptr) != nullptr;
}

bool HasCaption(HWND hWnd, const std::wstring& strCaption) {
    std::wstring strText(strCaption.size() + 2, L'\0'); // room to see a longer caption
    const int cch = ::GetWindowTextW(hWnd, &strText[0], static_cast<int>(strText.size()));
    return strText.compare(0, static_cast<size_t>(cch), strCaption) == 0 &&
           static_cast<size_t>(cch) == strCaption.size();
}

bool IsWanted(HWND hWnd, const Options& options) {
    if (!::IsWindowVisible(hWnd) || !HasCaption(hWnd, options.strCaption))
        return false;
    switch (options.kind) {
    case WindowKind::Sheet:
        return HoldsTabControl(hWnd);
    case WindowKind::Message:
        return !HoldsTabControl(hWnd);
    case WindowKind::Any:
        break;
    }
    return true;
}

struct Search {
    const Options* pOptions;
    HWND hFound;
};

BOOL CALLBACK OnTopLevelWindow(HWND hWnd, LPARAM lParam) {
    Search& search = *reinterpret_cast<Search*>(lParam);
    if (!IsWanted(hWnd, *search.pOptions))
        return TRUE;
    search.hFound = hWnd;
    return FALSE;
}

HWND WaitForWindow(const Options& options, ULONGLONG ullDeadline) {
    Search search = {&options, nullptr};
    WaitUntil(ullDeadline, [&] {
        ::EnumWindows(OnTopLevelWindow, reinterpret_cast<LPARAM>(&search));
        return search.hFound != nullptr;
    });
    return search.hFound;
}

// Sends to another process's window, never hanging on a window that does not answer.
bool SendWithin(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, DWORD_PTR& dwResult) {
    return ::SendMessageTimeoutW(hWnd, uMsg, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                                 &dwResult) != 0;
}

// Selects page nTab and waits until the page's window shows.
bool ShowTab(HWND hSheet, int nTab, ULONGLONG ullDeadline) {
    DWORD_PTR dwResult = 0;
    if (!SendWithin(hSheet, PSM_SETCURSEL, static_cast<WPARAM>(nTab), 0, dwResult) || !dwResult)
        return false;
    return WaitUntil(ullDeadline, [&] {
        DWORD_PTR dwPage = 0;
        DWORD_PTR dwIndex = 0;
        const HWND hPage = SendWithin(hSheet, PSM_GETCURRENTPAGEHWND, 0, 0, dwPage)
                               ? reinterpret_cast<HWND>(dwPage)
                               : nullptr;
        return hPage && ::IsWindowVisible(hPage) &&
               SendWithin(hSheet, PSM_HWNDTOINDEX, reinterpret_cast<WPARAM>(hPage), 0, dwIndex) &&
               static_cast<int>(dwIndex) == nTab;
    });
}

// Has the window and its children painted now, then waits until its thread has handled them.
void Repaint(HWND hWnd) {
    ::RedrawWindow(hWnd, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    ::UpdateWindow(hWnd);
    DWORD_PTR dwResult = 0;
    SendWithin(hWnd, WM_NULL, 0, 0, dwResult);
}

void DeleteMemoryDc(HDC hDc) { ::DeleteDC(hDc); }
void DeleteBitmap(HBITMAP hBitmap) { ::DeleteObject(hBitmap); }
using MemoryDc = platform::UniqueOwner<HDC, DeleteMemoryDc>;
using GdiBitmap = platform::UniqueOwner<HBITMAP, DeleteBitmap>;

// What the screen showed of a window: 24-bit blue-green-red rows, top row first, each row padded
// to 4 bytes as a DIB's.
struct Picture {
    UINT nWidth = 0;
    UINT nHeight = 0;
    UINT cbStride = 0;
    std::vector<BYTE> bits;
};

// Keeps an object selected into a device context for its own lifetime.
class Selection {
public:
    Selection(HDC hDc, HGDIOBJ hObject) : m_hDc(hDc), m_hOld(::SelectObject(hDc, hObject)) {}
    ~Selection() {
        if (m_hOld)
            ::SelectObject(m_hDc, m_hOld);
    }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;
    bool Selected() const { return m_hOld != nullptr; }

private:
    HDC m_hDc;
    HGDIOBJ m_hOld;
};

// Copies the window's rectangle of the screen through a 24-bit top-down DIB.
bool CaptureWindow(HWND hWnd, Picture& picture) {
    RECT rect = {};
    if (!::GetWindowRect(hWnd, &rect) || rect.right <= rect.left || rect.bottom <= rect.top)
        return false;
    const LONG nWidth = rect.right - rect.left;
    const LONG nHeight = rect.bottom - rect.top;

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = nWidth;
    info.bmiHeader.biHeight = -nHeight; // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;

    const platform::ScreenDC screen;
    const MemoryDc memory(::CreateCompatibleDC(screen.Get()));
    void* pBits = nullptr;
    const GdiBitmap bitmap(
        ::CreateDIBSection(screen.Get(), &info, DIB_RGB_COLORS, &pBits, nullptr, 0));
    if (!screen || !memory || !bitmap || !pBits)
        return false;
    const Selection selection(memory.Get(), bitmap.Get());
    if (!selection.Selected() || !::BitBlt(memory.Get(), 0, 0, nWidth, nHeight, screen.Get(),
                                           rect.left, rect.top, SRCCOPY | CAPTUREBLT))
        return false;
    ::GdiFlush();

    picture.nWidth = static_cast<UINT>(nWidth);
    picture.nHeight = static_cast<UINT>(nHeight);
    picture.cbStride = (picture.nWidth * 3 + 3) & ~3u; // DIB rows end on 4 bytes
    const BYTE* const pDib = static_cast<const BYTE*>(pBits);
    picture.bits.assign(pDib, pDib + size_t{picture.cbStride} * picture.nHeight);
    return true;
}

// Captures until two captures in a row agree (bounded); the last capture stands either way.
bool CaptureSettled(HWND hWnd, Picture& picture, DWORD& dwSettledMs) {
    const ULONGLONG ullStart = ::GetTickCount64();
    Repaint(hWnd);
    if (!CaptureWindow(hWnd, picture))
        return false;
    for (;;) {
        ::Sleep(kSettleIntervalMs);
        Picture next;
        if (!CaptureWindow(hWnd, next))
            return false;
        const bool bSame = next.bits == picture.bits && next.nWidth == picture.nWidth;
        picture = std::move(next);
        dwSettledMs = static_cast<DWORD>(::GetTickCount64() - ullStart);
        if (bSame || dwSettledMs >= kSettleMaxMs)
            return true;
    }
}

using Microsoft::WRL::ComPtr;

// The frame of a PNG file at strPath, made by the platform's PNG encoder, ready for its pixels.
HRESULT CreatePngFrame(IWICImagingFactory& factory, const std::wstring& strPath,
                       ComPtr<IWICBitmapEncoder>& encoder, ComPtr<IWICBitmapFrameEncode>& frame) {
    ComPtr<IWICStream> stream;
    HRESULT hr = factory.CreateStream(&stream);
    if (SUCCEEDED(hr))
        hr = stream->InitializeFromFilename(strPath.c_str(), GENERIC_WRITE);
    if (SUCCEEDED(hr))
        hr = factory.CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder);
    if (SUCCEEDED(hr))
        hr = encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache);
    if (SUCCEEDED(hr))
        hr = encoder->CreateNewFrame(&frame, nullptr);
    if (SUCCEEDED(hr))
        hr = frame->Initialize(nullptr);
    return hr;
}

// Writes the picture as a PNG file of the same 24-bit pixels.
HRESULT EncodePng(const Picture& picture, const std::wstring& strPath) {
    ComPtr<IWICImagingFactory> factory;
    HRESULT hr = ::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_PPV_ARGS(&factory));
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICBitmapFrameEncode> frame;
    if (SUCCEEDED(hr))
        hr = CreatePngFrame(*factory.Get(), strPath, encoder, frame);
    if (SUCCEEDED(hr))
        hr = frame->SetSize(picture.nWidth, picture.nHeight);
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    if (SUCCEEDED(hr))
        hr = frame->SetPixelFormat(&format);
    if (SUCCEEDED(hr) && !IsEqualGUID(format, GUID_WICPixelFormat24bppBGR))
        hr = WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT; // the encoder would convert: not these pixels
    if (SUCCEEDED(hr))
        hr = frame->WritePixels(picture.nHeight, picture.cbStride,
                                static_cast<UINT>(picture.bits.size()),
                                const_cast<BYTE*>(picture.bits.data()));
    if (SUCCEEDED(hr))
        hr = frame->Commit();
    if (SUCCEEDED(hr))
        hr = encoder->Commit();
    return hr;
}

bool SaveWindow(HWND hWnd, const std::wstring& strOut) {
    Picture picture;
    DWORD dwSettledMs = 0;
    if (!CaptureSettled(hWnd, picture, dwSettledMs)) {
        std::fwprintf(stderr, L"muntara-shot: cannot capture the window\n");
        return false;
    }
    const ComScope com;
    const HRESULT hr = SUCCEEDED(com.Status()) ? EncodePng(picture, strOut) : E_FAIL;
    if (FAILED(hr)) {
        ::DeleteFileW(strOut.c_str()); // no file rather than a cut one
        std::fwprintf(stderr, L"muntara-shot: cannot write %ls (0x%08lx)\n", strOut.c_str(),
                      static_cast<unsigned long>(hr));
        return false;
    }
    std::wprintf(L"muntara-shot: %ls, %ux%u, settled after %lu ms\n", strOut.c_str(),
                 picture.nWidth, picture.nHeight, static_cast<unsigned long>(dwSettledMs));
    return true;
}

// Cancel for a sheet, OK for a message box; then waits until the window has gone.
bool CloseWindow(HWND hWnd, ULONGLONG ullDeadline) {
    const bool bPosted = HoldsTabControl(hWnd)
                             ? ::PostMessageW(hWnd, PSM_PRESSBUTTON, PSBTN_CANCEL, 0)
                             : ::PostMessageW(hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return bPosted &&
           WaitUntil(ullDeadline, [&] { return !::IsWindow(hWnd) || !::IsWindowVisible(hWnd); });
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fputws(kUsage, stderr);
        return kExitUsage;
    }

    const ULONGLONG ullDeadline = ::GetTickCount64() + options.dwTimeoutMs;
    const HWND hWnd = WaitForWindow(options, ullDeadline);
    if (!hWnd) {
        std::fwprintf(stderr, L"muntara-shot: no visible window \"%ls\" within %lu s\n",
                      options.strCaption.c_str(),
                      static_cast<unsigned long>(options.dwTimeoutMs / 1000));
        return kExitNotFound;
    }
    if (options.nTab >= 0 && !ShowTab(hWnd, options.nTab, ullDeadline)) {
        std::fwprintf(stderr, L"muntara-shot: tab %d did not show\n", options.nTab);
        return kExitFailed;
    }
    if (!options.strOut.empty() && !SaveWindow(hWnd, options.strOut))
        return kExitFailed;
    // Closing gets a time-out of its own: the wait for the window may have used up the first.
    if (options.bClose && !CloseWindow(hWnd, ::GetTickCount64() + options.dwTimeoutMs)) {
        std::fwprintf(stderr, L"muntara-shot: the window did not close\n");
        return kExitFailed;
    }
    return kExitOk;
}
