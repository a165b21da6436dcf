#include "harness/RegistryTree.h"

#include <ostream>

RegValue Dword(DWORD dwValue) {
    const BYTE* const p = reinterpret_cast<const BYTE*>(&dwValue);
    return {REG_DWORD, std::vector<BYTE>(p, p + sizeof dwValue)};
}

RegValue Sz(const std::wstring& str, bool bTerminated) {
    const BYTE* const p = reinterpret_cast<const BYTE*>(str.c_str());
    const size_t cb = (str.size() + (bTerminated ? 1 : 0)) * sizeof(WCHAR);
    return {REG_SZ, std::vector<BYTE>(p, p + cb)};
}

bool ReadTree(HKEY hParent, LPCWSTR pszPath, RegTree& tree) {
    HKEY hKey = nullptr;
    if (::RegOpenKeyExW(hParent, pszPath, 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return false;
    tree = {};
    for (DWORD dwIndex = 0;; ++dwIndex) {
        WCHAR szName[16384];
        DWORD cchName = 16384, dwType = 0, cbData = 0;
        if (::RegEnumValueW(hKey, dwIndex, szName, &cchName, nullptr, &dwType, nullptr, &cbData) !=
            ERROR_SUCCESS)
            break;
        RegValue value{dwType, std::vector<BYTE>(cbData)};
        ::RegQueryValueExW(hKey, szName, nullptr, nullptr, value.data.data(), &cbData);
        tree.values[szName] = value;
    }
    for (DWORD dwIndex = 0;; ++dwIndex) {
        WCHAR szName[256];
        DWORD cchName = 256;
        if (::RegEnumKeyExW(hKey, dwIndex, szName, &cchName, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        ReadTree(hKey, szName, tree.keys[szName]);
    }
    ::RegCloseKey(hKey);
    return true;
}

namespace {

// Stores exactly the bytes of value. RegSetValueExW adds a terminator to a string whose last
// character is not zero when the character just past the given bytes is zero, so the copy ends
// in a non-zero sentinel that is never stored: what lies past a buffer must not decide.
void SetExactValue(HKEY hKey, LPCWSTR pszName, const RegValue& value) {
    std::vector<BYTE> data = value.data;
    data.insert(data.end(), {0xbd, 0xbd, 0xbd, 0xbd});
    ::RegSetValueExW(hKey, pszName, 0, value.dwType, data.data(),
                     static_cast<DWORD>(value.data.size()));
}

} // namespace

void WriteTree(HKEY hParent, LPCWSTR pszPath, const RegTree& tree) {
    HKEY hKey = nullptr;
    if (::RegCreateKeyExW(hParent, pszPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hKey,
                          nullptr) != ERROR_SUCCESS)
        return;
    for (const auto& [name, value] : tree.values)
        SetExactValue(hKey, name.c_str(), value);
    for (const auto& [name, key] : tree.keys)
        WriteTree(hKey, name.c_str(), key);
    ::RegCloseKey(hKey);
}

void DeleteTree(HKEY hParent, LPCWSTR pszPath) {
    ::RegDeleteTreeW(hParent, pszPath);
    ::RegDeleteKeyW(hParent, pszPath);
}

bool KeyExists(HKEY hParent, LPCWSTR pszPath) {
    RegTree tree;
    return ReadTree(hParent, pszPath, tree);
}

void PrintTo(const RegValue& value, std::ostream* os) {
    *os << "type " << value.dwType << ", " << value.data.size() << " bytes:";
    for (const BYTE b : value.data)
        *os << ' ' << static_cast<int>(b);
}

void PrintTo(const RegTree& tree, std::ostream* os) {
    *os << "{";
    for (const auto& [name, value] : tree.values) {
        *os << std::string(name.begin(), name.end()) << "=(";
        PrintTo(value, os);
        *os << ") ";
    }
    for (const auto& [name, key] : tree.keys) {
        *os << std::string(name.begin(), name.end()) << ":";
        PrintTo(key, os);
        *os << " ";
    }
    *os << "}";
}
