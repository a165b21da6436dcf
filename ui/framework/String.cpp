#include "ui/framework/String.h"
#include "platform/HandheldForms.h"
#include "ui/framework/WinApp.h"

#include <new>

CString& CString::operator=(const CString& other) {
    if (this != &other)
        Assign(other.m_psz, other.m_nLength);
    return *this;
}

CString& CString::operator=(CString&& other) noexcept {
    if (this != &other) {
        CString old;
        Swap(old);
        Swap(other);
    }
    return *this;
}

CString& CString::operator=(LPCWSTR psz) {
    // psz may point into this string's own text: build the copy apart.
    CString copy(psz);
    Swap(copy);
    return *this;
}

BOOL CString::LoadString(UINT nID) {
    // The string where the resource holds it: any length, no copy to size.
    const platform::ResourceText text = platform::LoadResourceText(AfxGetInstanceHandle(), nID);
    if (text.nChars <= 0) {
        Empty();
        return FALSE;
    }
    return Assign(text.pch, text.nChars) ? TRUE : FALSE;
}

void CString::Format(LPCWSTR pszFormat, LPCWSTR pszArg) {
    // Built apart, since either argument may be this string's own text.
    const LPCWSTR pszInsert = pszArg ? pszArg : L"";
    const int nInsert = Length(pszInsert);
    CString result;
    for (LPCWSTR p = pszFormat ? pszFormat : L""; *p; ++p) {
        bool bAppended;
        if (p[0] == L'%' && p[1] == L's') {
            bAppended = result.Append(pszInsert, nInsert);
            ++p;
        } else {
            if (p[0] == L'%' && p[1] == L'%')
                ++p;
            bAppended = result.Append(p, 1);
        }
        if (!bAppended) {
            result.Empty(); // no room for the whole text
            break;
        }
    }
    Swap(result);
}

void CString::Truncate(int nLength) {
    if (nLength < 0 || nLength >= m_nLength)
        return;
    m_nLength = nLength;
    m_psz[nLength] = L'\0';
}

LPWSTR CString::GetBuffer(int nMinLength) {
    if (!Reserve(nMinLength > m_nLength ? nMinLength : m_nLength))
        return nullptr; // a smaller buffer would be written past
    return m_psz;       // the terminator's place is the caller's to write
}

void CString::ReleaseBuffer() { m_nLength = Length(m_psz); }

// Grows by half again at least, so that Format's character-by-character appends stay linear.
bool CString::Reserve(int nLength) {
    if (m_psz && nLength <= m_nCapacity)
        return true;
    const int nGrown = m_nCapacity + m_nCapacity / 2;
    const int nCapacity = nLength > nGrown ? nLength : nGrown;
    const LPWSTR pszNew = new (std::nothrow) WCHAR[static_cast<size_t>(nCapacity) + 1];
    if (!pszNew)
        return false;
    if (m_psz)
        ::CopyMemory(pszNew, m_psz, (static_cast<size_t>(m_nLength) + 1) * sizeof(WCHAR));
    else
        pszNew[0] = L'\0';
    delete[] m_psz;
    m_psz = pszNew;
    m_nCapacity = nCapacity;
    return true;
}

bool CString::Assign(LPCWSTR psz, int nLength) {
    if (!Reserve(nLength)) {
        Empty(); // the old text is not what was asked for
        return false;
    }
    if (nLength)
        ::CopyMemory(m_psz, psz, static_cast<size_t>(nLength) * sizeof(WCHAR));
    m_psz[nLength] = L'\0';
    m_nLength = nLength;
    return true;
}

bool CString::Append(LPCWSTR psz, int nLength) {
    if (!Reserve(m_nLength + nLength))
        return false;
    ::CopyMemory(m_psz + m_nLength, psz, static_cast<size_t>(nLength) * sizeof(WCHAR));
    m_nLength += nLength;
    m_psz[m_nLength] = L'\0';
    return true;
}

void CString::Swap(CString& other) noexcept {
    const LPWSTR psz = m_psz;
    m_psz = other.m_psz;
    other.m_psz = psz;
    const int nLength = m_nLength;
    m_nLength = other.m_nLength;
    other.m_nLength = nLength;
    const int nCapacity = m_nCapacity;
    m_nCapacity = other.m_nCapacity;
    other.m_nCapacity = nCapacity;
}
