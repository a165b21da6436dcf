#include "package/InstallRecord.h"

#include "package/ControlFile.h"
#include "package/InstallPlan.h"

#include <algorithm>
#include <cctype>

namespace package {

namespace {

using namespace format;

std::vector<std::string> Fields(const std::string& strLine) {
    std::vector<std::string> fields;
    size_t nStart = 0;
    for (size_t nTab; (nTab = strLine.find('\t', nStart)) != std::string::npos;) {
        fields.push_back(strLine.substr(nStart, nTab - nStart));
        nStart = nTab + 1;
    }
    fields.push_back(strLine.substr(nStart));
    return fields;
}

// Whether two names are the same to the handheld, whose registry keys and files ignore case.
bool SameName(const std::string& strFirst, const std::string& strSecond) {
    return std::equal(strFirst.begin(), strFirst.end(), strSecond.begin(), strSecond.end(),
                      [](char chFirst, char chSecond) {
                          return std::tolower(static_cast<unsigned char>(chFirst)) ==
                                 std::tolower(static_cast<unsigned char>(chSecond));
                      });
}

std::string KeyFields(const RecordedKey& key) {
    return std::string(kHiveRootNames[key.nRoot]) + "\t" + key.strKey;
}

// ROOT and KEY of a key or value line: a root's name and a key path without empty parts.
bool ReadKey(const std::string& strRoot, const std::string& strKey, RecordedKey& key) {
    key.nRoot = 0;
    for (uint16_t nRoot = kClassesRoot; nRoot <= kUsers; ++nRoot) {
        if (strRoot == kHiveRootNames[nRoot])
            key.nRoot = nRoot;
    }
    key.strKey = strKey;
    return key.nRoot != 0 && !strKey.empty() && strKey.front() != '\\' && strKey.back() != '\\' &&
           strKey.find("\\\\") == std::string::npos;
}

// One line of the unload file into record.
bool ReadLine(const std::vector<std::string>& fields, InstallRecord& record) {
    const std::string& strKind = fields[0];
    if (fields.size() == 2 && IsHandheldPath(fields[1])) {
        if (strKind == "folder")
            record.folders.push_back(fields[1]);
        else if (strKind == "file")
            record.files.push_back(fields[1]);
        else if (strKind == "shortcut")
            record.shortcuts.push_back(fields[1]);
        else
            return false;
        return true;
    }
    RecordedKey key;
    if (strKind == "key" && fields.size() == 3 && ReadKey(fields[1], fields[2], key)) {
        record.keys.push_back(key);
        return true;
    }
    if (strKind == "value" && fields.size() == 4 && ReadKey(fields[1], fields[2], key)) {
        record.values.push_back(RecordedValue{key, fields[3]});
        return true;
    }
    return false;
}

} // namespace

std::string RecordKey(const std::string& strName) {
    return std::string(kRecordsKey) + "\\" + strName;
}

std::string UnloadFilePath(const std::string& strName) {
    return std::string(kStandardFolders[2]) + "\\" + strName + ".unload";
}

std::string WriteUnloadFile(const InstallRecord& record) {
    std::string strText = "package\t" + record.strName + "\n";
    for (const std::string& strFolder : record.folders)
        strText += "folder\t" + strFolder + "\n";
    for (const std::string& strFile : record.files)
        strText += "file\t" + strFile + "\n";
    for (const std::string& strShortcut : record.shortcuts)
        strText += "shortcut\t" + strShortcut + "\n";
    for (const RecordedKey& key : record.keys)
        strText += "key\t" + KeyFields(key) + "\n";
    for (const RecordedValue& value : record.values)
        strText += "value\t" + KeyFields(value.key) + "\t" + value.strName + "\n";
    return strText;
}

bool ReadUnloadFile(const std::string& strText, const std::string& strName, InstallRecord& record,
                    std::string& strError) {
    record = InstallRecord();
    size_t nLine = 0;
    size_t nStart = 0;
    while (nStart < strText.size()) {
        const size_t nEnd = strText.find('\n', nStart);
        if (nEnd == std::string::npos) {
            strError = Format("line %zu does not end", nLine + 1);
            return false;
        }
        const std::vector<std::string> fields = Fields(strText.substr(nStart, nEnd - nStart));
        nStart = nEnd + 1;
        ++nLine;
        if (nLine == 1) {
            if (fields.size() != 2 || fields[0] != "package" || !SameName(fields[1], strName)) {
                strError = "it does not begin with the package's name, \"" + strName + "\"";
                return false;
            }
            record.strName = fields[1];
        } else if (!ReadLine(fields, record)) {
            strError = Format("line %zu is not an entry of it", nLine);
            return false;
        }
    }
    if (nLine == 0) {
        strError = "it is empty";
        return false;
    }
    return true;
}

bool IsHandheldPath(const std::string& strPath) {
    if (strPath.size() < 2 || strPath[0] != '\\')
        return false;
    size_t nStart = 1;
    for (size_t nEnd; (nEnd = strPath.find('\\', nStart)) != std::string::npos; nStart = nEnd + 1) {
        if (!IsPathPart(strPath.substr(nStart, nEnd - nStart)))
            return false;
    }
    return IsPathPart(strPath.substr(nStart));
}

} // namespace package
