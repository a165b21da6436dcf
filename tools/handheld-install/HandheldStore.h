#pragma once

#include "package/InstallRecord.h"
#include "platform/Handle.h"

#include <windows.h>

#include <string>

// The handheld the personality's installer works on: its file system is the folder ROOT of this
// machine (the handheld's "\Program Files\x" is ROOT\Program Files\x), its registry the Wine
// prefix's. Each call names a handheld path or a registry key as the handheld's record does.
namespace handheld_install {

inline void CloseKey(HKEY hKey) { ::RegCloseKey(hKey); }
using UniqueKey = platform::UniqueOwner<HKEY, CloseKey>;

// The control file's and the record's texts are ASCII; a byte above it is taken as Latin-1.
std::wstring Widen(const std::string& strText);
std::string Narrow(const std::wstring& strWide);

HKEY RootKey(uint16_t nRoot); // format::HiveRoot

class HandheldStore {
public:
    explicit HandheldStore(std::wstring strRoot) : m_strRoot(std::move(strRoot)) {}

    std::wstring HostPath(const std::string& strPath) const { return m_strRoot + Widen(strPath); }
    const std::wstring& Root() const { return m_strRoot; }
    bool Exists(const std::string& strPath) const;
    bool IsFolder(const std::string& strPath) const;
    // Whether a program holds the file open, as the handheld's loader holds a running program's.
    bool InUse(const std::string& strPath) const;
    bool ReadText(const std::string& strPath, std::string& strText) const;
    bool WriteText(const std::string& strPath, const std::string& strText) const;

    // Makes the folder when it is missing, and notes it in record.folders; false, with
    // GetLastError, when it cannot.
    bool MakeFolder(const std::string& strPath, package::InstallRecord& record) const;
    // Makes key, and notes in record.keys each key of its path that was missing.
    bool MakeKey(const package::RecordedKey& key, package::InstallRecord& record,
                 UniqueKey& made) const;

    static bool KeyExists(const package::RecordedKey& key);

private:
    std::wstring m_strRoot;
};

} // namespace handheld_install
