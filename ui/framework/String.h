#pragma once

#include <windows.h>

// A wide string that loads itself from the string table and fills in "%s" markers. It keeps its
// characters on the process heap itself: the standard string would bring the C++ runtime's
// string code into the program.
class CString {
public:
    CString() = default;
    CString(LPCWSTR psz) { Assign(psz, Length(psz)); }
    CString(const CString& other) { Assign(other.m_psz, other.m_nLength); }
    CString(CString&& other) noexcept { Swap(other); }
    CString& operator=(const CString& other);
    CString& operator=(CString&& other) noexcept;
    CString& operator=(LPCWSTR psz);
    ~CString() { delete[] m_psz; }

    // Loads string nID of the program's resources; an unknown id leaves the string empty.
    BOOL LoadString(UINT nID);
    // Replaces each "%s" of pszFormat with pszArg and each "%%" with "%"; no length limit. Empty
    // when the heap has no room for the whole text.
    void Format(LPCWSTR pszFormat, LPCWSTR pszArg);
    // Keeps the first nLength characters.
    void Truncate(int nLength);

    int GetLength() const { return m_nLength; }
    BOOL IsEmpty() const { return m_nLength == 0; }
    void Empty() { Truncate(0); }
    operator LPCWSTR() const { return m_psz ? m_psz : L""; }

    // Room for nMinLength characters and a terminator; ReleaseBuffer cuts at the first zero.
    // nullptr when the heap has no room, the string then unchanged.
    LPWSTR GetBuffer(int nMinLength);
    void ReleaseBuffer();

private:
    static int Length(LPCWSTR psz) { return psz ? ::lstrlenW(psz) : 0; }
    // Room for nLength characters and a terminator, the text so far kept.
    bool Reserve(int nLength);
    // Empties the string when there is no room for psz.
    bool Assign(LPCWSTR psz, int nLength);
    // False when there was no room for it.
    bool Append(LPCWSTR psz, int nLength);
    void Swap(CString& other) noexcept;

    LPWSTR m_psz = nullptr; // nullptr while nothing was ever stored
    int m_nLength = 0;
    int m_nCapacity = 0; // characters that fit before the terminator
};
