#pragma once

#include "ui/framework/String.h"

#include <string>

// A copy of the string's text, whole, for comparisons; the program itself never makes one.
inline std::wstring Str(const CString& str) {
    return std::wstring(static_cast<LPCWSTR>(str), static_cast<size_t>(str.GetLength()));
}
