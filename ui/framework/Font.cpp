#include "ui/framework/Font.h"

BOOL CFont::CreateFontIndirect(const LOGFONTW* pLogFont) {
    DeleteObject();
    m_hFont = ::CreateFontIndirectW(pLogFont);
    return m_hFont != nullptr;
}

BOOL CFont::DeleteObject() {
    if (!m_hFont)
        return FALSE;
    const BOOL bDeleted = ::DeleteObject(m_hFont);
    m_hFont = nullptr;
    return bDeleted;
}
