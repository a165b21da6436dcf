// COREDLL.dll's registry calls. The handheld's registry has no security and no options: the
// arguments for them are reserved and must be 0 or NULL, and every key opens with full access.
// Deleting a key deletes its subkeys with it.
//
// The handheld keeps its registry in memory: what reaches storage is what it held at the last
// RegFlushKey, and a reset brings that back, losing every change since. The personality keeps
// that durable copy of the part where programs keep their settings, HKCU\ControlPanel, in a file
// of the prefix; the rest is Wine's registry, which a reset does not touch.
#include "personality/Coredll.h"
#include "platform/Handle.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

using platform::UniqueHandle;

constexpr WCHAR kDurableTree[] = L"ControlPanel";
constexpr WCHAR kDurableFile[] = L"C:\\handheld-registry.dat";
// The longest key path and value name the copy takes, in characters with the terminator.
constexpr DWORD kMaxName = 1024;

void CloseKey(HKEY hKey) { ::RegCloseKey(hKey); }
using UniqueKey = platform::UniqueOwner<HKEY, CloseKey>;

// The copy is a run of records: a key ('K', its path below the tree) and each of its values ('V',
// name, type, data), each string and each value's data after its length.
using Bytes = std::vector<BYTE>;

void Append(Bytes& out, const void* pData, DWORD cbData) {
    const auto* const p = static_cast<const BYTE*>(pData);
    out.insert(out.end(), p, p + cbData);
}

void AppendWord(Bytes& out, DWORD dwValue) { Append(out, &dwValue, sizeof dwValue); }

void AppendString(Bytes& out, LPCWSTR psz, DWORD cch) {
    AppendWord(out, cch);
    Append(out, psz, cch * sizeof(WCHAR));
}

void CopyTree(HKEY hKey, const std::wstring& strPath, Bytes& out) {
    AppendWord(out, L'K');
    AppendString(out, strPath.c_str(), static_cast<DWORD>(strPath.size()));
    WCHAR szName[kMaxName];
    Bytes data;
    for (DWORD n = 0;; ++n) {
        DWORD cchName = kMaxName;
        DWORD dwType = 0;
        DWORD cbData = 0;
        if (::RegEnumValueW(hKey, n, szName, &cchName, nullptr, &dwType, nullptr, &cbData) !=
            ERROR_SUCCESS)
            break;
        data.resize(cbData);
        cchName = kMaxName;
        if (::RegEnumValueW(hKey, n, szName, &cchName, nullptr, &dwType, data.data(), &cbData) !=
            ERROR_SUCCESS)
            break;
        AppendWord(out, L'V');
        AppendString(out, szName, cchName);
        AppendWord(out, dwType);
        AppendWord(out, cbData);
        Append(out, data.data(), cbData);
    }
    for (DWORD n = 0;; ++n) {
        DWORD cchName = kMaxName;
        if (::RegEnumKeyExW(hKey, n, szName, &cchName, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        HKEY hChild = nullptr;
        if (::RegOpenKeyExW(hKey, szName, 0, KEY_READ, &hChild) != ERROR_SUCCESS)
            continue;
        const UniqueKey child(hChild);
        CopyTree(child.Get(), strPath.empty() ? szName : strPath + L"\\" + szName, out);
    }
}

// Reads the records back: false at the first that does not fit.
class Reader {
public:
    explicit Reader(const Bytes& bytes) : m_bytes(bytes) {}
    bool AtEnd() const { return m_nAt == m_bytes.size(); }
    bool Word(DWORD& dwValue) { return Take(&dwValue, sizeof dwValue); }
    bool String(std::wstring& str) {
        DWORD cch = 0;
        if (!Word(cch) || cch >= kMaxName)
            return false;
        str.resize(cch);
        return Take(&str[0], cch * sizeof(WCHAR));
    }
    bool Data(Bytes& data) {
        DWORD cb = 0;
        if (!Word(cb) || cb > m_bytes.size() - m_nAt)
            return false;
        data.resize(cb);
        return Take(data.data(), cb);
    }

private:
    bool Take(void* pOut, size_t cb) {
        if (cb > m_bytes.size() - m_nAt)
            return false;
        std::copy_n(m_bytes.begin() + static_cast<ptrdiff_t>(m_nAt), cb, static_cast<BYTE*>(pOut));
        m_nAt += cb;
        return true;
    }

    const Bytes& m_bytes;
    size_t m_nAt = 0;
};

void PutBack(HKEY hTree, const Bytes& bytes) {
    Reader reader(bytes);
    UniqueKey key;
    DWORD dwTag = 0;
    while (!reader.AtEnd() && reader.Word(dwTag)) {
        std::wstring strName;
        if (!reader.String(strName))
            return;
        if (dwTag == L'K') {
            HKEY hKey = nullptr;
            if (::RegCreateKeyExW(hTree, strName.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &hKey, nullptr) != ERROR_SUCCESS)
                return;
            key.Reset(hKey);
            continue;
        }
        DWORD dwType = 0;
        Bytes data;
        if (dwTag != L'V' || !key || !reader.Word(dwType) || !reader.Data(data))
            return;
        ::RegSetValueExW(key.Get(), strName.c_str(), 0, dwType, data.data(),
                         static_cast<DWORD>(data.size()));
    }
}

UniqueKey OpenDurableTree() {
    HKEY hTree = nullptr;
    ::RegCreateKeyExW(HKEY_CURRENT_USER, kDurableTree, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                      &hTree, nullptr);
    return UniqueKey(hTree);
}

UniqueHandle OpenDurableFile(DWORD dwAccess, DWORD dwDisposition) {
    const HANDLE hFile = ::CreateFileW(kDurableFile, dwAccess, 0, nullptr, dwDisposition,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
    return UniqueHandle(hFile == INVALID_HANDLE_VALUE ? nullptr : hFile);
}

void Reserved(const char* pszCall, const char* pszArgument, DWORD_PTR value) {
    if (value)
        PersonalityViolation(pszCall, "%s 0x%lx: the handheld reserves it and wants 0", pszArgument,
                             static_cast<unsigned long>(value));
}

DWORD_PTR Word(const void* p) { return reinterpret_cast<DWORD_PTR>(p); }

} // namespace

extern "C" {

LONG __cdecl HandheldRegOpenKeyExW(HKEY hKey, LPCWSTR pszSubKey, DWORD dwOptions, REGSAM samDesired,
                                   PHKEY phResult) {
    Reserved("RegOpenKeyExW", "ulOptions", dwOptions);
    Reserved("RegOpenKeyExW", "samDesired", samDesired);
    return ::RegOpenKeyExW(hKey, pszSubKey, 0, KEY_ALL_ACCESS, phResult);
}

LONG __cdecl HandheldRegCreateKeyExW(HKEY hKey, LPCWSTR pszSubKey, DWORD dwReserved,
                                     LPWSTR pszClass, DWORD dwOptions, REGSAM samDesired,
                                     LPSECURITY_ATTRIBUTES pSecurity, PHKEY phResult,
                                     LPDWORD pdwDisposition) {
    Reserved("RegCreateKeyExW", "Reserved", dwReserved);
    Reserved("RegCreateKeyExW", "dwOptions", dwOptions & ~REG_OPTION_VOLATILE);
    Reserved("RegCreateKeyExW", "samDesired", samDesired);
    Reserved("RegCreateKeyExW", "lpSecurityAttributes", Word(pSecurity));
    return ::RegCreateKeyExW(hKey, pszSubKey, 0, pszClass, dwOptions & REG_OPTION_VOLATILE,
                             KEY_ALL_ACCESS, nullptr, phResult, pdwDisposition);
}

LONG __cdecl HandheldRegQueryValueExW(HKEY hKey, LPCWSTR pszName, LPDWORD pReserved,
                                      LPDWORD pdwType, LPBYTE pData, LPDWORD pcbData) {
    Reserved("RegQueryValueExW", "lpReserved", Word(pReserved));
    return ::RegQueryValueExW(hKey, pszName, nullptr, pdwType, pData, pcbData);
}

LONG __cdecl HandheldRegSetValueExW(HKEY hKey, LPCWSTR pszName, DWORD dwReserved, DWORD dwType,
                                    const BYTE* pData, DWORD cbData) {
    Reserved("RegSetValueExW", "Reserved", dwReserved);
    return ::RegSetValueExW(hKey, pszName, 0, dwType, pData, cbData);
}

LONG __cdecl HandheldRegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR pszName, LPDWORD pcchName,
                                   LPDWORD pReserved, LPWSTR pszClass, LPDWORD pcchClass,
                                   PFILETIME pLastWrite) {
    Reserved("RegEnumKeyExW", "lpReserved", Word(pReserved));
    return ::RegEnumKeyExW(hKey, dwIndex, pszName, pcchName, nullptr, pszClass, pcchClass,
                           pLastWrite);
}

LONG __cdecl HandheldRegEnumValueW(HKEY hKey, DWORD dwIndex, LPWSTR pszName, LPDWORD pcchName,
                                   LPDWORD pReserved, LPDWORD pdwType, LPBYTE pData,
                                   LPDWORD pcbData) {
    Reserved("RegEnumValueW", "lpReserved", Word(pReserved));
    return ::RegEnumValueW(hKey, dwIndex, pszName, pcchName, nullptr, pdwType, pData, pcbData);
}

// Whatever key it is given, the handheld writes its whole registry to storage.
LONG __cdecl HandheldRegFlushKey(HKEY) {
    const UniqueKey tree = OpenDurableTree();
    if (!tree)
        return ERROR_ACCESS_DENIED;
    Bytes bytes;
    CopyTree(tree.Get(), L"", bytes);
    const UniqueHandle hFile = OpenDurableFile(GENERIC_WRITE, CREATE_ALWAYS);
    DWORD cbWritten = 0;
    if (!hFile || !::WriteFile(hFile.Get(), bytes.data(), static_cast<DWORD>(bytes.size()),
                               &cbWritten, nullptr))
        return ERROR_WRITE_FAULT;
    return ERROR_SUCCESS;
}

void __cdecl PersonalityReset() {
    const UniqueKey tree = OpenDurableTree();
    if (!tree)
        return;
    ::RegDeleteTreeW(tree.Get(), nullptr);
    // Never flushed: the registry comes back as the image has it, with the tree empty.
    const UniqueHandle hFile = OpenDurableFile(GENERIC_READ, OPEN_EXISTING);
    const DWORD cbFile = hFile ? ::GetFileSize(hFile.Get(), nullptr) : 0;
    if (!cbFile || cbFile == INVALID_FILE_SIZE)
        return;
    Bytes bytes(cbFile);
    DWORD cbRead = 0;
    if (::ReadFile(hFile.Get(), bytes.data(), cbFile, &cbRead, nullptr) && cbRead == cbFile)
        PutBack(tree.Get(), bytes);
}

LONG __cdecl HandheldRegDeleteKeyW(HKEY hKey, LPCWSTR pszSubKey) {
    if (!pszSubKey || !*pszSubKey)
        return ERROR_INVALID_PARAMETER; // the handheld deletes a named subkey, never hKey itself
    return ::RegDeleteTreeW(hKey, pszSubKey);
}

} // extern "C"
