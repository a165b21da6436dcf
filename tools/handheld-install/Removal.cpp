#include "tools/handheld-install/Removal.h"

#include "package/ControlFile.h"
#include "package/ControlFormat.h"

#include <cstdio>

namespace handheld_install {

namespace {

using package::Format;
using package::InstallRecord;
using package::RecordedKey;

// The record's values below HKEY_LOCAL_MACHINE\SOFTWARE\Apps\<name>.
constexpr wchar_t kInstalledValue[] = L"Instl";

void Say(const std::string& strLine) { std::printf("%s\n", strLine.c_str()); }

std::string KeyName(const RecordedKey& key) {
    return std::string(package::format::kHiveRootNames[key.nRoot]) + "\\" + key.strKey;
}

bool Fail(std::string& strError, const std::string& strWhat, DWORD dwError) {
    strError = Format("%s (error %lu)", strWhat.c_str(), dwError);
    return false;
}

// Whether the key holds neither keys nor values.
bool IsEmptyKey(const RecordedKey& key) {
    HKEY hKey = nullptr;
    if (::RegOpenKeyExW(RootKey(key.nRoot), Widen(key.strKey).c_str(), 0, KEY_READ, &hKey) !=
        ERROR_SUCCESS)
        return false;
    const UniqueKey opened(hKey);
    DWORD nKeys = 0, nValues = 0;
    return ::RegQueryInfoKeyW(opened.Get(), nullptr, nullptr, nullptr, &nKeys, nullptr, nullptr,
                              &nValues, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
           nKeys == 0 && nValues == 0;
}

// A file or shortcut of the record; one already gone is said and passed over.
bool RemoveFile(const HandheldStore& handheld, const std::string& strPath, std::string& strError) {
    if (::DeleteFileW(handheld.HostPath(strPath).c_str())) {
        Say("removed " + strPath);
        return true;
    }
    const DWORD dwError = ::GetLastError();
    if (dwError == ERROR_FILE_NOT_FOUND || dwError == ERROR_PATH_NOT_FOUND) {
        Say(strPath + " was already gone");
        return true;
    }
    return Fail(strError, "cannot remove " + strPath, dwError);
}

bool RemoveValues(const InstallRecord& record, std::string& strError) {
    for (const package::RecordedValue& value : record.values) {
        HKEY hKey = nullptr;
        if (::RegOpenKeyExW(RootKey(value.key.nRoot), Widen(value.key.strKey).c_str(), 0,
                            KEY_SET_VALUE, &hKey) != ERROR_SUCCESS)
            continue; // its key is gone, and the value with it
        const UniqueKey key(hKey);
        const LONG lDeleted = ::RegDeleteValueW(key.Get(), Widen(value.strName).c_str());
        if (lDeleted != ERROR_SUCCESS && lDeleted != ERROR_FILE_NOT_FOUND)
            return Fail(strError,
                        "cannot remove the registry value " + KeyName(value.key) + "\\" +
                            value.strName,
                        static_cast<DWORD>(lDeleted));
        Say("removed registry value " + KeyName(value.key) + "\\" + value.strName);
    }
    return true;
}

// The folders and keys the installation made, children first, each only when it is empty.
void RemoveMade(const HandheldStore& handheld, const InstallRecord& record) {
    for (auto folder = record.folders.rbegin(); folder != record.folders.rend(); ++folder) {
        if (::RemoveDirectoryW(handheld.HostPath(*folder).c_str()))
            Say("removed " + *folder);
        else if (handheld.IsFolder(*folder))
            Say("kept " + *folder + ": it holds what the package did not put there");
    }
    for (auto key = record.keys.rbegin(); key != record.keys.rend(); ++key) {
        if (IsEmptyKey(*key) &&
            ::RegDeleteKeyW(RootKey(key->nRoot), Widen(key->strKey).c_str()) == ERROR_SUCCESS)
            Say("removed registry key " + KeyName(*key));
    }
}

} // namespace

RecordState ReadRecord(const HandheldStore& handheld, const std::string& strName,
                       InstallRecord& record, std::string& strError) {
    const std::wstring strKey = Widen(package::RecordKey(strName));
    HKEY hKey = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, strKey.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return RecordState::kNotInstalled;
    const UniqueKey key(hKey);
    DWORD dwInstalled = 0, dwType = 0, cbData = sizeof dwInstalled;
    if (::RegQueryValueExW(key.Get(), kInstalledValue, nullptr, &dwType,
                           reinterpret_cast<BYTE*>(&dwInstalled), &cbData) != ERROR_SUCCESS ||
        dwType != REG_DWORD || dwInstalled != 1) {
        strError = "HKLM\\" + package::RecordKey(strName) + " lacks Instl 1";
        return RecordState::kDamaged;
    }
    const std::string strUnload = package::UnloadFilePath(strName);
    std::string strText;
    if (!handheld.ReadText(strUnload, strText)) {
        strError = "its unload file " + strUnload + " cannot be read";
        return RecordState::kDamaged;
    }
    if (!package::ReadUnloadFile(strText, strName, record, strError)) {
        strError = "its unload file " + strUnload + ": " + strError;
        return RecordState::kDamaged;
    }
    return RecordState::kRead;
}

std::string FileInUse(const HandheldStore& handheld, const InstallRecord& record) {
    for (const std::string& strFile : record.files) {
        if (handheld.InUse(strFile))
            return strFile;
    }
    return "";
}

bool RemovePackage(const HandheldStore& handheld, const InstallRecord& record,
                   std::string& strError) {
    if (!RemoveValues(record, strError))
        return false;
    for (const std::string& strShortcut : record.shortcuts) {
        if (!RemoveFile(handheld, strShortcut, strError))
            return false;
    }
    for (const std::string& strFile : record.files) {
        if (!RemoveFile(handheld, strFile, strError))
            return false;
    }
    if (!::DeleteFileW(handheld.HostPath(package::UnloadFilePath(record.strName)).c_str()))
        return Fail(strError, "cannot remove " + package::UnloadFilePath(record.strName),
                    ::GetLastError());
    const LONG lDeleted =
        ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, Widen(package::RecordKey(record.strName)).c_str());
    if (lDeleted != ERROR_SUCCESS)
        return Fail(strError, "cannot remove HKLM\\" + package::RecordKey(record.strName),
                    static_cast<DWORD>(lDeleted));
    RemoveMade(handheld, record);
    Say("removed " + record.strName);
    return true;
}

} // namespace handheld_install
