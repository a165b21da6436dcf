#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

// A registry key with everything below it, as plain data: read from the real registry, written
// back to it, compared.
struct RegValue {
    DWORD dwType;
    std::vector<BYTE> data;
    bool operator==(const RegValue& other) const {
        return dwType == other.dwType && data == other.data;
    }
};

struct RegTree {
    std::map<std::wstring, RegValue> values;
    std::map<std::wstring, RegTree> keys;
    bool operator==(const RegTree& other) const {
        return values == other.values && keys == other.keys;
    }
};

RegValue Dword(DWORD dwValue);
// A REG_SZ with its terminating zero, or without it.
RegValue Sz(const std::wstring& str, bool bTerminated = true);

// False when the key does not exist.
bool ReadTree(HKEY hParent, LPCWSTR pszPath, RegTree& tree);
void WriteTree(HKEY hParent, LPCWSTR pszPath, const RegTree& tree);
void DeleteTree(HKEY hParent, LPCWSTR pszPath);
bool KeyExists(HKEY hParent, LPCWSTR pszPath);

void PrintTo(const RegValue& value, std::ostream* os);
void PrintTo(const RegTree& tree, std::ostream* os);
