#pragma once

#include <windows.h>

namespace platform {

// Owns one handle and ends it with Close when destroyed; nullptr holds none. Movable, not
// copyable. Close is a function of our own, so that its address is a constant on both targets.
template <typename Handle, void (*Close)(Handle)> class UniqueOwner {
public:
    UniqueOwner() = default;
    explicit UniqueOwner(Handle hHandle) : m_hHandle(hHandle) {}
    ~UniqueOwner() { Reset(); }

    UniqueOwner(UniqueOwner&& other) noexcept : m_hHandle(other.Release()) {}
    UniqueOwner& operator=(UniqueOwner&& other) noexcept {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    UniqueOwner(const UniqueOwner&) = delete;
    UniqueOwner& operator=(const UniqueOwner&) = delete;

    Handle Get() const { return m_hHandle; }
    explicit operator bool() const { return m_hHandle != nullptr; }

    Handle Release() {
        const Handle hHandle = m_hHandle;
        m_hHandle = nullptr;
        return hHandle;
    }

    // Ends the handle held so far and holds hHandle instead.
    void Reset(Handle hHandle = nullptr) {
        if (m_hHandle)
            Close(m_hHandle);
        m_hHandle = hHandle;
    }

private:
    Handle m_hHandle = nullptr;
};

inline void CloseKernelHandle(HANDLE hHandle) { ::CloseHandle(hHandle); }
inline void ReleaseScreenDC(HDC hDC) { ::ReleaseDC(nullptr, hDC); }
inline void DestroyMenuHandle(HMENU hMenu) { ::DestroyMenu(hMenu); }

// One kernel handle: a file, a pipe, an event, a thread or a process.
using UniqueHandle = UniqueOwner<HANDLE, CloseKernelHandle>;

// A menu, destroyed unless a window took it (Release).
using UniqueMenu = UniqueOwner<HMENU, DestroyMenuHandle>;

// The screen's device context for one scope; Get() is nullptr when there is none.
class ScreenDC : public UniqueOwner<HDC, ReleaseScreenDC> {
public:
    ScreenDC() : UniqueOwner(::GetDC(nullptr)) {}
};

} // namespace platform
