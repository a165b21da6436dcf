#include "ui/framework/String.h"
#include "ui/framework/WinApp.h"

#include <algorithm>
#include <cwchar>

BOOL CString::LoadString(UINT nID) {
    // With no buffer, LoadStringW points at the resource itself: any length, no copy to size.
    LPCWSTR pszResource = nullptr;
    const int nLength =
        ::LoadStringW(AfxGetInstanceHandle(), nID, reinterpret_cast<LPWSTR>(&pszResource), 0);
    if (nLength <= 0 || !pszResource) {
        m_str.clear();
        return FALSE;
    }
    m_str.assign(pszResource, nLength);
    return TRUE;
}

void CString::Format(LPCWSTR pszFormat, LPCWSTR pszArg) {
    // Built apart, since either argument may be this string's own text.
    std::wstring result;
    const LPCWSTR pszInsert = pszArg ? pszArg : L"";
    for (LPCWSTR p = pszFormat ? pszFormat : L""; *p; ++p) {
        if (p[0] == L'%' && p[1] == L's') {
            result += pszInsert;
            ++p;
        } else if (p[0] == L'%' && p[1] == L'%') {
            result += L'%';
            ++p;
        } else {
            result += *p;
        }
    }
    m_str = std::move(result);
}

LPWSTR CString::GetBuffer(int nMinLength) {
    const size_t nLength = std::max(m_str.size(), static_cast<size_t>(std::max(nMinLength, 0)));
    m_str.resize(nLength + 1); // the terminator's place is the caller's to write
    return &m_str[0];
}

void CString::ReleaseBuffer() { m_str.resize(std::wcslen(m_str.c_str())); }
