#pragma once

#include <windows.h>

#include <string>

// A wide string that loads itself from the string table and fills in one "%s".
class CString {
public:
    CString() = default;
    CString(LPCWSTR psz) : m_str(psz ? psz : L"") {}

    // Loads string nID of the program's resources; an unknown id leaves the string empty.
    BOOL LoadString(UINT nID);
    // Replaces each "%s" of pszFormat with pszArg and each "%%" with "%"; no length limit.
    void Format(LPCWSTR pszFormat, LPCWSTR pszArg);

    int GetLength() const { return static_cast<int>(m_str.size()); }
    BOOL IsEmpty() const { return m_str.empty(); }
    void Empty() { m_str.clear(); }
    operator LPCWSTR() const { return m_str.c_str(); }
    const std::wstring& Str() const { return m_str; }

    // Room for nMinLength characters and a terminator; ReleaseBuffer cuts at the first zero.
    LPWSTR GetBuffer(int nMinLength);
    void ReleaseBuffer();

    bool operator==(LPCWSTR psz) const { return m_str == psz; }

private:
    std::wstring m_str;
};
