#pragma once

#include <windows.h>

namespace platform {

// Owns one kernel handle and closes it when destroyed. Movable, not copyable.
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE hHandle) : m_hHandle(hHandle) {}
    ~UniqueHandle() { Reset(); }

    UniqueHandle(UniqueHandle&& other) noexcept : m_hHandle(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    HANDLE Get() const { return m_hHandle; }
    explicit operator bool() const { return m_hHandle != nullptr; }

    HANDLE Release() {
        const HANDLE hHandle = m_hHandle;
        m_hHandle = nullptr;
        return hHandle;
    }

    // Closes the handle held so far and holds hHandle instead.
    void Reset(HANDLE hHandle = nullptr) {
        if (m_hHandle)
            ::CloseHandle(m_hHandle);
        m_hHandle = hHandle;
    }

private:
    HANDLE m_hHandle = nullptr;
};

// The screen's device context for one scope; nullptr when there is none.
class ScreenDC {
public:
    ScreenDC() : m_hDC(::GetDC(nullptr)) {}
    ~ScreenDC() {
        if (m_hDC)
            ::ReleaseDC(nullptr, m_hDC);
    }
    ScreenDC(const ScreenDC&) = delete;
    ScreenDC& operator=(const ScreenDC&) = delete;

    HDC Get() const { return m_hDC; }

private:
    const HDC m_hDC;
};

} // namespace platform
