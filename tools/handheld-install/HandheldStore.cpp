#include "tools/handheld-install/HandheldStore.h"

#include "package/ControlFormat.h"

namespace handheld_install {

namespace {

// A record or unload file is a few kilobytes; the bound keeps a damaged one from costing more.
constexpr DWORD kMaxTextBytes = 1 << 20;

HANDLE CheckFile(HANDLE hFile) { return hFile == INVALID_HANDLE_VALUE ? nullptr : hFile; }

bool OpenKey(const package::RecordedKey& key, UniqueKey& opened) {
    HKEY hKey = nullptr;
    if (::RegOpenKeyExW(RootKey(key.nRoot), Widen(key.strKey).c_str(), 0, KEY_READ, &hKey) !=
        ERROR_SUCCESS)
        return false;
    opened.Reset(hKey);
    return true;
}

} // namespace

std::wstring Widen(const std::string& strText) {
    std::wstring strWide;
    for (const char ch : strText)
        strWide += static_cast<wchar_t>(static_cast<unsigned char>(ch));
    return strWide;
}

std::string Narrow(const std::wstring& strWide) {
    const int cbText =
        ::WideCharToMultiByte(CP_UTF8, 0, strWide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (cbText <= 0)
        return "?";
    std::string strText(static_cast<size_t>(cbText), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, strWide.c_str(), -1, strText.data(), cbText, nullptr,
                          nullptr);
    strText.pop_back();
    return strText;
}

HKEY RootKey(uint16_t nRoot) {
    static const HKEY kRoots[] = {nullptr, HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE,
                                  HKEY_USERS};
    return nRoot <= package::format::kUsers ? kRoots[nRoot] : nullptr;
}

bool HandheldStore::Exists(const std::string& strPath) const {
    return ::GetFileAttributesW(HostPath(strPath).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool HandheldStore::IsFolder(const std::string& strPath) const {
    const DWORD dwAttributes = ::GetFileAttributesW(HostPath(strPath).c_str());
    return dwAttributes != INVALID_FILE_ATTRIBUTES &&
           (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool HandheldStore::InUse(const std::string& strPath) const {
    // Asking to delete fails while another program has the file open without sharing that.
    const platform::UniqueHandle file(CheckFile(::CreateFileW(
        HostPath(strPath).c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)));
    return !file && ::GetLastError() == ERROR_SHARING_VIOLATION;
}

bool HandheldStore::ReadText(const std::string& strPath, std::string& strText) const {
    const platform::UniqueHandle file(
        CheckFile(::CreateFileW(HostPath(strPath).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)));
    LARGE_INTEGER size = {};
    if (!file || !::GetFileSizeEx(file.Get(), &size) || size.QuadPart > kMaxTextBytes)
        return false;
    strText.assign(static_cast<size_t>(size.QuadPart), '\0');
    DWORD cbRead = 0;
    return strText.empty() || (::ReadFile(file.Get(), strText.data(),
                                          static_cast<DWORD>(strText.size()), &cbRead, nullptr) &&
                               cbRead == strText.size());
}

bool HandheldStore::WriteText(const std::string& strPath, const std::string& strText) const {
    const platform::UniqueHandle file(
        CheckFile(::CreateFileW(HostPath(strPath).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr)));
    DWORD cbWritten = 0;
    return file &&
           ::WriteFile(file.Get(), strText.data(), static_cast<DWORD>(strText.size()), &cbWritten,
                       nullptr) &&
           cbWritten == strText.size();
}

bool HandheldStore::MakeFolder(const std::string& strPath, package::InstallRecord& record) const {
    if (::CreateDirectoryW(HostPath(strPath).c_str(), nullptr)) {
        record.folders.push_back(strPath);
        return true;
    }
    return ::GetLastError() == ERROR_ALREADY_EXISTS;
}

bool HandheldStore::MakeKey(const package::RecordedKey& key, package::InstallRecord& record,
                            UniqueKey& made) const {
    for (size_t nEnd = key.strKey.find('\\');; nEnd = key.strKey.find('\\', nEnd + 1)) {
        const package::RecordedKey part = {key.nRoot, key.strKey.substr(0, nEnd)};
        if (!KeyExists(part))
            record.keys.push_back(part);
        if (nEnd == std::string::npos)
            break;
    }
    HKEY hKey = nullptr;
    const LONG lCreated = ::RegCreateKeyExW(
        RootKey(key.nRoot), Widen(key.strKey).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
        KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &hKey, nullptr);
    ::SetLastError(static_cast<DWORD>(lCreated));
    if (lCreated != ERROR_SUCCESS)
        return false;
    made.Reset(hKey);
    return true;
}

bool HandheldStore::KeyExists(const package::RecordedKey& key) {
    UniqueKey opened;
    return OpenKey(key, opened);
}

} // namespace handheld_install
