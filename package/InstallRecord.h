#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The handheld's record of an installed package, which its list of programs shows and removes:
// the registry key HKLM\SOFTWARE\Apps\<name> (Instl 1, InstlDir the package's folder, CabFile
// the cabinet it came from) and the unload file \Windows\<name>.unload, which says what the
// installation made. The handheld does not document its unload file's bytes; this installer
// keeps it as text, one entry a line, its fields apart by tabs:
//
//   package   NAME
//   folder    \path           a folder the installation made, a parent before its children
//   file      \path           a file it put
//   shortcut  \path           a shortcut it made
//   key       ROOT  KEY       a registry key it made (ROOT HKCR, HKCU, HKLM or HKU), a parent first
//   value     ROOT  KEY  NAME a registry value it set (NAME empty: the key's default value)
//
// Removing the package takes exactly these away (a folder or key only when nothing else is left
// in it), then the record; what the program wrote itself, such as its settings, stays.
namespace package {

struct RecordedKey {
    uint16_t nRoot = 0; // format::HiveRoot
    std::string strKey;
};

struct RecordedValue {
    RecordedKey key;
    std::string strName;
};

struct InstallRecord {
    std::string strName;
    std::vector<std::string> folders;
    std::vector<std::string> files;
    std::vector<std::string> shortcuts;
    std::vector<RecordedKey> keys;
    std::vector<RecordedValue> values;
};

// Where the handheld keeps the record of the package strName: below HKEY_LOCAL_MACHINE, and in
// its file system.
constexpr char kRecordsKey[] = "SOFTWARE\\Apps";
std::string RecordKey(const std::string& strName);
std::string UnloadFilePath(const std::string& strName);

std::string WriteUnloadFile(const InstallRecord& record);

// The record of the unload file strText, for the package strName in any case (the record keeps
// the name as the file spells it); false, with strError saying what is wrong, when a line is not
// an entry, a path is not a handheld path or the file names another package.
bool ReadUnloadFile(const std::string& strText, const std::string& strName, InstallRecord& record,
                    std::string& strError);

// Whether strPath is a handheld path: "\", then names (IsPathPart) apart by "\".
bool IsHandheldPath(const std::string& strPath);

} // namespace package
