#include "harness/Program.h"
#include "tools/shot/ComScope.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Microsoft::WRL::ComPtr;

// Runs muntara-shot from the build's bin folder, handling this thread's messages meanwhile: the
// tool repaints the window it saves and waits for its thread to answer. Fails, saying where, when
// it could not be started or did not end in 30 s.
testing::AssertionResult RunShot(const std::wstring& strArgs, DWORD& dwExitCode) {
    platform::UniqueHandle hProcess;
    // Once in CI of a fresh clone, one of these quick runs failed before it gave an exit code; a
    // start that fails is tried once more, and every failure says where it happened.
    if (!StartProgram(L"muntara-shot.exe", strArgs, hProcess)) {
        const DWORD dwFirstError = ::GetLastError();
        ::Sleep(100);
        if (!StartProgram(L"muntara-shot.exe", strArgs, hProcess))
            return testing::AssertionFailure()
                   << "not started, errors " << dwFirstError << ", " << ::GetLastError();
        std::printf("muntara-shot started on the second attempt, after error %lu\n", dwFirstError);
    }
    const ULONGLONG ullDeadline = ::GetTickCount64() + 30000;
    for (;;) {
        const ULONGLONG ullNow = ::GetTickCount64();
        if (ullNow >= ullDeadline)
            return testing::AssertionFailure() << "still running after 30 s";
        const HANDLE hWait = hProcess.Get();
        const DWORD dwWait = ::MsgWaitForMultipleObjects(
            1, &hWait, FALSE, static_cast<DWORD>(ullDeadline - ullNow), QS_ALLINPUT);
        if (dwWait == WAIT_FAILED)
            return testing::AssertionFailure() << "wait failed, error " << ::GetLastError();
        if (dwWait == WAIT_OBJECT_0) {
            if (!::GetExitCodeProcess(hProcess.Get(), &dwExitCode))
                return testing::AssertionFailure() << "no exit code, error " << ::GetLastError();
            return testing::AssertionSuccess();
        }
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageW(&msg);
    }
}

// A picture as 24-bit blue-green-red rows, top row first, without padding.
struct Pixels {
    UINT nWidth = 0;
    UINT nHeight = 0;
    std::vector<BYTE> bgr;
};

// Every pixel different from its neighbours, so that a swapped channel or a shifted row shows;
// an odd width, so that a DIB's row padding would show too.
Pixels Pattern() {
    Pixels pattern;
    pattern.nWidth = 97;
    pattern.nHeight = 61;
    for (UINT nY = 0; nY < pattern.nHeight; ++nY)
        for (UINT nX = 0; nX < pattern.nWidth; ++nX)
            pattern.bgr.insert(pattern.bgr.end(),
                               {static_cast<BYTE>(nX * 7 + nY * 13), static_cast<BYTE>(nY * 4),
                                static_cast<BYTE>(nX * 2)});
    return pattern;
}

// A top-level window without a frame, topmost, whose whole face is the pattern.
class PatternWindow {
public:
    PatternWindow(const std::wstring& strCaption, const Pixels& pattern) : m_pattern(pattern) {
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = WindowProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = kClassName;
        ::RegisterClassExW(&wc); // again in a repeated test: the class stands
        m_hWnd = ::CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kClassName, strCaption.c_str(),
                                   WS_POPUP | WS_VISIBLE, 40, 40, static_cast<int>(pattern.nWidth),
                                   static_cast<int>(pattern.nHeight), nullptr, nullptr,
                                   wc.hInstance, this);
    }
    ~PatternWindow() {
        if (m_hWnd)
            ::DestroyWindow(m_hWnd);
    }
    PatternWindow(const PatternWindow&) = delete;
    PatternWindow& operator=(const PatternWindow&) = delete;

    HWND Get() const { return m_hWnd; }

private:
    static constexpr wchar_t kClassName[] = L"ShotToolTestPattern";

    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
        if (uMsg == WM_NCCREATE)
            ::SetWindowLongPtrW(hWnd, GWLP_USERDATA,
                                reinterpret_cast<LONG_PTR>(
                                    reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
        const auto* const pWindow =
            reinterpret_cast<const PatternWindow*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
        if (uMsg != WM_PAINT || !pWindow)
            return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
        PAINTSTRUCT paint;
        const HDC hDc = ::BeginPaint(hWnd, &paint);
        pWindow->Paint(hDc);
        ::EndPaint(hWnd, &paint);
        return 0;
    }

    // The pattern's rows, each padded to 4 bytes, as a top-down DIB.
    void Paint(HDC hDc) const {
        const UINT cbRow = m_pattern.nWidth * 3;
        const UINT cbStride = (cbRow + 3) & ~3u;
        std::vector<BYTE> dib(size_t{cbStride} * m_pattern.nHeight);
        for (UINT nY = 0; nY < m_pattern.nHeight; ++nY)
            std::copy_n(&m_pattern.bgr[size_t{nY} * cbRow], cbRow, &dib[size_t{nY} * cbStride]);
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = static_cast<LONG>(m_pattern.nWidth);
        info.bmiHeader.biHeight = -static_cast<LONG>(m_pattern.nHeight);
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 24;
        info.bmiHeader.biCompression = BI_RGB;
        const int nWidth = static_cast<int>(m_pattern.nWidth);
        const int nHeight = static_cast<int>(m_pattern.nHeight);
        ::StretchDIBits(hDc, 0, 0, nWidth, nHeight, 0, 0, nWidth, nHeight, dib.data(), &info,
                        DIB_RGB_COLORS, SRCCOPY);
    }

    const Pixels& m_pattern;
    HWND m_hWnd = nullptr;
};

// The file read by the platform's decoder; it has to be a PNG of 24-bit pixels, read as they are.
HRESULT DecodePng(const std::wstring& strPath, Pixels& pixels) {
    ComPtr<IWICImagingFactory> factory;
    HRESULT hr = ::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_PPV_ARGS(&factory));
    ComPtr<IWICBitmapDecoder> decoder;
    if (SUCCEEDED(hr))
        hr = factory->CreateDecoderFromFilename(strPath.c_str(), nullptr, GENERIC_READ,
                                                WICDecodeMetadataCacheOnDemand, &decoder);
    GUID container = {};
    if (SUCCEEDED(hr))
        hr = decoder->GetContainerFormat(&container);
    if (SUCCEEDED(hr) && !IsEqualGUID(container, GUID_ContainerFormatPng))
        return WINCODEC_ERR_COMPONENTNOTFOUND;
    ComPtr<IWICBitmapFrameDecode> frame;
    if (SUCCEEDED(hr))
        hr = decoder->GetFrame(0, &frame);
    WICPixelFormatGUID format = {};
    if (SUCCEEDED(hr))
        hr = frame->GetPixelFormat(&format);
    if (SUCCEEDED(hr) && !IsEqualGUID(format, GUID_WICPixelFormat24bppBGR))
        return WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT;
    if (SUCCEEDED(hr))
        hr = frame->GetSize(&pixels.nWidth, &pixels.nHeight);
    if (FAILED(hr))
        return hr;
    pixels.bgr.assign(size_t{pixels.nWidth} * pixels.nHeight * 3, 0xBD);
    return frame->CopyPixels(nullptr, pixels.nWidth * 3, static_cast<UINT>(pixels.bgr.size()),
                             pixels.bgr.data());
}

std::wstring TempPath(const std::wstring& strLeaf) {
    WCHAR szDir[MAX_PATH];
    const DWORD cch = ::GetTempPathW(MAX_PATH, szDir);
    return std::wstring(szDir, cch < MAX_PATH ? cch : 0) + strLeaf;
}

TEST(ShotToolTest, ExitCodesTellNoWindowFromBadUsage) {
    DWORD dwExitCode = 0;
    ASSERT_TRUE(
        RunShot(L"--caption \"No such window 7f3a\" --sheet --timeout 1 --out x.png", dwExitCode));
    EXPECT_EQ(dwExitCode, 1u);
    for (const wchar_t* pszArgs :
         {L"", L"--sheet", L"--caption", L"--caption X --tab one", L"--caption X --message --tab 1",
          L"--caption X --sheet --message", L"--caption X --frobnicate"}) {
        ASSERT_TRUE(RunShot(pszArgs, dwExitCode)) << pszArgs;
        EXPECT_EQ(dwExitCode, 2u) << pszArgs;
    }
}

TEST(ShotToolTest, ThePlatformsDecoderReadsBackTheWindowsPixels) {
    const ComScope com;
    ASSERT_TRUE(SUCCEEDED(com.Status()));
    const std::wstring strId = std::to_wstring(::GetCurrentProcessId());
    const std::wstring strCaption = L"Shot pattern " + strId;
    const std::wstring strOut = TempPath(L"shot-pattern-" + strId + L".png");
    ::DeleteFileW(strOut.c_str());
    const Pixels pattern = Pattern();
    const PatternWindow window(strCaption, pattern);
    ASSERT_NE(window.Get(), nullptr);

    DWORD dwExitCode = 0;
    ASSERT_TRUE(
        RunShot(L"--caption \"" + strCaption + L"\" --out \"" + strOut + L"\"", dwExitCode));
    EXPECT_EQ(dwExitCode, 0u);
    Pixels decoded;
    const HRESULT hr = DecodePng(strOut, decoded);
    ::DeleteFileW(strOut.c_str());
    ASSERT_TRUE(SUCCEEDED(hr)) << std::hex << hr;
    EXPECT_EQ(decoded.nWidth, pattern.nWidth);
    EXPECT_EQ(decoded.nHeight, pattern.nHeight);
    EXPECT_TRUE(decoded.bgr == pattern.bgr);

    // A file that cannot be written is a failed picture.
    const std::wstring strNowhere = TempPath(L"no-such-folder-" + strId + L"\\x.png");
    ASSERT_TRUE(
        RunShot(L"--caption \"" + strCaption + L"\" --out \"" + strNowhere + L"\"", dwExitCode));
    EXPECT_EQ(dwExitCode, 3u);
}

} // namespace
