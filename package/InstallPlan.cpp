#include "package/InstallPlan.h"

#include <algorithm>
#include <set>
#include <tuple>

namespace package {

namespace {

using namespace format;

template <typename Entry> const Entry* FindEntry(const std::vector<Entry>& entries, uint16_t nId) {
    for (const Entry& entry : entries) {
        if (entry.nId == nId)
            return &entry;
    }
    return nullptr;
}

template <typename Entry>
bool UniqueIds(const std::vector<Entry>& entries, Section section, std::string& strError) {
    std::set<uint16_t> ids;
    for (const Entry& entry : entries) {
        if (!ids.insert(entry.nId).second) {
            strError = Format("two %s entries have the id %u", kSectionNames[section], entry.nId);
            return false;
        }
    }
    return true;
}

// Works out the handheld's paths of one control file.
class Planner {
public:
    Planner(const ControlFile& control, InstallPlan& plan, std::string& strError)
        : m_control(control), m_plan(plan), m_strError(strError) {}

    bool Plan() {
        if (!IsPathPart(m_control.strAppName))
            return Fail("the package's name \"" + m_control.strAppName +
                        "\" cannot name its folder in \\Program Files");
        m_plan.strName = PackageName(m_control);
        m_plan.strFolder = std::string(kStandardFolders[1]) + "\\" + m_control.strAppName;
        if (!UniqueIds(m_control.strings, kStrings, m_strError) ||
            !UniqueIds(m_control.dirs, kDirs, m_strError) ||
            !UniqueIds(m_control.files, kFiles, m_strError) ||
            !UniqueIds(m_control.hives, kRegHives, m_strError) ||
            !UniqueIds(m_control.regKeys, kRegKeys, m_strError) ||
            !UniqueIds(m_control.links, kLinks, m_strError))
            return false;
        for (const FileEntry& file : m_control.files) {
            if (!PlanFile(file))
                return false;
        }
        for (const LinkEntry& link : m_control.links) {
            if (!PlanShortcut(link))
                return false;
        }
        for (const RegKeyEntry& value : m_control.regKeys) {
            if (!PlanValue(value))
                return false;
        }
        return true;
    }

private:
    bool Fail(const std::string& strMessage) {
        m_strError = strMessage;
        return false;
    }

    // The texts of a path's string ids, each a path part.
    bool PathParts(const std::vector<uint16_t>& path, const std::string& strWhat,
                   std::vector<std::string>& parts) {
        parts.clear();
        for (const uint16_t nId : path) {
            const StringEntry* pString = FindEntry(m_control.strings, nId);
            if (!pString)
                return Fail(
                    Format("%s names string %u, which STRINGS lacks", strWhat.c_str(), nId));
            parts.push_back(pString->strText);
        }
        return true;
    }

    // A path of DIRS or LINKS below the folder strBase: each part a file or folder name.
    bool JoinPath(std::string strBase, const std::vector<std::string>& parts,
                  const std::string& strWhat, std::string& strPath) {
        for (const std::string& strPart : parts) {
            if (!IsPathPart(strPart))
                return Fail(Format("%s: \"%s\" is not the name of a file or folder; the path "
                                   "would leave the handheld's file system or name none",
                                   strWhat.c_str(), strPart.c_str()));
            strBase += "\\" + strPart;
        }
        strPath = strBase.empty() ? "\\" : strBase;
        return true;
    }

    bool FolderPath(uint16_t nDirId, const std::string& strWhat, std::string& strPath) {
        const DirEntry* pDir = FindEntry(m_control.dirs, nDirId);
        if (!pDir)
            return Fail(Format("%s names folder %u, which DIRS lacks", strWhat.c_str(), nDirId));
        const std::string strDir = Format("DIRS entry %u", nDirId);
        std::vector<std::string> parts;
        if (!PathParts(pDir->path, strDir, parts))
            return false;
        std::string strBase;
        if (!parts.empty() && parts.front() == kInstallDir) {
            strBase = m_plan.strFolder;
            parts.erase(parts.begin());
        } else if (!parts.empty() && StandardFolder(parts.front()) != 0) {
            strBase = kStandardFolders[StandardFolder(parts.front())];
            parts.erase(parts.begin());
        }
        return JoinPath(strBase, parts, strDir, strPath);
    }

    // The handheld path of a file of FILES.
    bool FilePath(const FileEntry& file, const std::string& strWhat, std::string& strPath) {
        std::string strFolder;
        return FolderPath(file.nDirId, strWhat, strFolder) &&
               JoinPath(strFolder == "\\" ? "" : strFolder, {file.strName}, strWhat, strPath);
    }

    // Every folder from the root down to the one that holds strPath, each once.
    void AddFolders(const std::string& strPath) {
        for (size_t nEnd = strPath.find('\\', 1); nEnd != std::string::npos;
             nEnd = strPath.find('\\', nEnd + 1)) {
            const std::string strFolder = strPath.substr(0, nEnd);
            if (std::find(m_plan.folders.begin(), m_plan.folders.end(), strFolder) ==
                m_plan.folders.end())
                m_plan.folders.push_back(strFolder);
        }
    }

    bool PlanFile(const FileEntry& file) {
        const std::string strWhat = Format("FILES entry %u (%s)", file.nId, file.strName.c_str());
        if (file.nId == kControlFileNumber || file.nId >= kSetupLibraryNumber)
            return Fail(Format("%s: a file to install is numbered 1 to %u", strWhat.c_str(),
                               kSetupLibraryNumber - 1));
        if ((file.dwFlags & kFileAlwaysOverwrite) && (file.dwFlags & kFileKeepNewer))
            return Fail(strWhat + ": both to overwrite always and to keep a newer file");
        if ((file.dwFlags & kFileOnlyIfPresent) && (file.dwFlags & kFileNeverOverwrite))
            return Fail(strWhat + ": both to install only over a file and never over one");
        PlannedFile planned;
        planned.nNumber = file.nId;
        planned.dwFlags = file.dwFlags;
        if (!FilePath(file, strWhat, planned.strPath))
            return false;
        AddFolders(planned.strPath);
        m_plan.files.push_back(planned);
        return true;
    }

    bool PlanShortcut(const LinkEntry& link) {
        const std::string strWhat = Format("LINKS entry %u", link.nId);
        if (link.nBaseFolder > kStandardFolderCount)
            return Fail(Format("%s: its base folder %u is neither the package's own (0) nor one of "
                               "the standard folders %%CE1%% to %%CE%d%%",
                               strWhat.c_str(), link.nBaseFolder, kStandardFolderCount));
        std::vector<std::string> parts;
        if (!PathParts(link.path, strWhat, parts))
            return false;
        if (parts.empty())
            return Fail(strWhat + ": its path names no shortcut");
        PlannedShortcut shortcut;
        const std::string strBase =
            link.nBaseFolder == 0 ? m_plan.strFolder : kStandardFolders[link.nBaseFolder];
        if (!JoinPath(strBase, parts, strWhat, shortcut.strPath))
            return false;
        const std::string strSuffix = ".lnk";
        if (shortcut.strPath.size() < strSuffix.size() ||
            shortcut.strPath.compare(shortcut.strPath.size() - strSuffix.size(), strSuffix.size(),
                                     strSuffix) != 0)
            shortcut.strPath += strSuffix;
        if (link.nTargetKind == kLinkToFile) {
            const FileEntry* pFile = FindEntry(m_control.files, link.nTargetId);
            if (!pFile)
                return Fail(Format("%s starts file %u, which FILES lacks", strWhat.c_str(),
                                   link.nTargetId));
            if (!FilePath(*pFile, strWhat, shortcut.strTarget))
                return false;
        } else if (link.nTargetKind == kLinkToFolder) {
            if (link.nTargetId == 0)
                shortcut.strTarget = m_plan.strFolder;
            else if (!FolderPath(link.nTargetId, strWhat, shortcut.strTarget))
                return false;
        } else {
            return Fail(Format("%s: its target kind %u is neither a file (1) nor a folder (0)",
                               strWhat.c_str(), link.nTargetKind));
        }
        AddFolders(shortcut.strPath);
        m_plan.shortcuts.push_back(shortcut);
        return true;
    }

    // strText with each "%CEn%" replaced by its folder.
    static std::string Substitute(const std::string& strText) {
        std::string strResult;
        for (size_t nAt = 0; nAt < strText.size();) {
            const size_t nEnd = strText.find('%', nAt + 1);
            const int nFolder = strText[nAt] == '%' && nEnd != std::string::npos
                                    ? StandardFolder(strText.substr(nAt, nEnd - nAt + 1))
                                    : 0;
            if (nFolder != 0) {
                strResult += kStandardFolders[nFolder];
                nAt = nEnd + 1;
            } else {
                strResult += strText[nAt++];
            }
        }
        return strResult;
    }

    // The data of a string (one text) or a multi-string (texts, then an empty one), each text
    // ending in a zero byte, with %CEn% replaced when asked.
    bool PlanTexts(PlannedValue& value, const std::string& strWhat, bool bMulti, bool bSubstitute) {
        std::vector<std::string> texts;
        size_t nStart = 0;
        for (size_t nAt = 0; nAt < value.data.size(); ++nAt) {
            if (value.data[nAt] == 0) {
                texts.emplace_back(value.data.begin() + static_cast<std::ptrdiff_t>(nStart),
                                   value.data.begin() + static_cast<std::ptrdiff_t>(nAt));
                nStart = nAt + 1;
            }
        }
        const auto firstEmpty = std::find_if(
            texts.begin(), texts.end(), [](const std::string& strText) { return strText.empty(); });
        if (nStart != value.data.size() || texts.empty() ||
            (bMulti ? firstEmpty != texts.end() - 1 : texts.size() != 1))
            return Fail(strWhat + (bMulti ? ": its data is not texts ending in zero bytes, then "
                                            "an empty one"
                                          : ": its data is not one text ending in a zero byte"));
        value.data.clear();
        for (const std::string& strText : texts) {
            const std::string strValue = bSubstitute ? Substitute(strText) : strText;
            value.data.insert(value.data.end(), strValue.begin(), strValue.end());
            value.data.push_back(0);
        }
        return true;
    }

    bool PlanValue(const RegKeyEntry& entry) {
        const std::string strWhat = Format("REGKEYS entry %u", entry.nId);
        const HiveEntry* pHive = FindEntry(m_control.hives, entry.nHiveId);
        if (!pHive)
            return Fail(
                Format("%s names key %u, which REGHIVES lacks", strWhat.c_str(), entry.nHiveId));
        const std::string strHive = Format("REGHIVES entry %u", pHive->nId);
        if (pHive->nRoot < kClassesRoot || pHive->nRoot > kUsers)
            return Fail(Format("%s: its root %u is none of 1 to 4 (HKCR, HKCU, HKLM, HKU)",
                               strHive.c_str(), pHive->nRoot));
        std::vector<std::string> parts;
        if (!PathParts(pHive->path, strHive, parts))
            return false;
        PlannedValue value;
        value.nRoot = pHive->nRoot;
        for (const std::string& strPart : parts) {
            if (strPart.empty() || strPart.find('\\') != std::string::npos)
                return Fail(Format("%s: \"%s\" is not the name of a key", strHive.c_str(),
                                   strPart.c_str()));
            value.strKey += (value.strKey.empty() ? "" : "\\") + strPart;
        }
        if (value.strKey.empty())
            return Fail(strHive + ": its key path is empty");
        value.strName = entry.strName;
        value.dwType = entry.dwTypeFlags & kRegTypeMask;
        value.bKeepExisting = (entry.dwTypeFlags & kRegKeepExisting) != 0;
        value.data = entry.data;
        const bool bSubstitute = entry.nSubstitute != 0;
        switch (value.dwType) {
        case kRegNumber:
            if (value.data.size() != 4)
                return Fail(Format("%s: a number's data is 4 bytes, not %zu", strWhat.c_str(),
                                   value.data.size()));
            break;
        case kRegString:
        case kRegMultiString:
            if (!PlanTexts(value, strWhat, value.dwType == kRegMultiString, bSubstitute))
                return false;
            break;
        default: // kRegBinary: any bytes
            break;
        }
        m_plan.values.push_back(value);
        return true;
    }

    const ControlFile& m_control;
    InstallPlan& m_plan;
    std::string& m_strError;
};

// Whether the system version dwMajor.dwMinor comes after dwThanMajor.dwThanMinor.
bool IsNewer(uint32_t dwMajor, uint32_t dwMinor, uint32_t dwThanMajor, uint32_t dwThanMinor) {
    return std::tie(dwMajor, dwMinor) > std::tie(dwThanMajor, dwThanMinor);
}

} // namespace

bool CheckHandheld(const ControlFile& control, const Handheld& handheld, std::string& strError) {
    if (control.dwProcessor != 0 && control.dwProcessor != handheld.dwProcessor) {
        strError = Format(
            "the package is for %s (processor %lu); this handheld's processor is "
            "%s (%lu)",
            ProcessorName(control.dwProcessor), static_cast<unsigned long>(control.dwProcessor),
            ProcessorName(handheld.dwProcessor), static_cast<unsigned long>(handheld.dwProcessor));
        return false;
    }
    const std::string strHandheld = SystemVersion(handheld.dwMajor, handheld.dwMinor);
    if (IsNewer(control.dwMinMajor, control.dwMinMinor, handheld.dwMajor, handheld.dwMinor)) {
        strError = "the package needs version " +
                   SystemVersion(control.dwMinMajor, control.dwMinMinor) +
                   " of the system or newer; this handheld runs " + strHandheld;
        return false;
    }
    if ((control.dwMaxMajor != 0 || control.dwMaxMinor != 0) &&
        IsNewer(handheld.dwMajor, handheld.dwMinor, control.dwMaxMajor, control.dwMaxMinor)) {
        strError = "the package takes version " +
                   SystemVersion(control.dwMaxMajor, control.dwMaxMinor) +
                   " of the system at the newest; this handheld runs " + strHandheld;
        return false;
    }
    return true;
}

bool PlanInstall(const ControlFile& control, InstallPlan& plan, std::string& strError) {
    plan = InstallPlan();
    return Planner(control, plan, strError).Plan();
}

std::string PackageName(const ControlFile& control) {
    return control.strProvider.empty() ? control.strAppName
                                       : control.strProvider + " " + control.strAppName;
}

bool IsPathPart(const std::string& strName) {
    if (strName.empty() || strName == "." || strName == "..")
        return false;
    for (const char ch : strName) {
        const auto nChar = static_cast<unsigned char>(ch);
        if (nChar < 0x20 || nChar >= 0x7F ||
            std::string("\\/:*?\"<>|").find(ch) != std::string::npos)
            return false;
    }
    return true;
}

int StandardFolder(const std::string& strText) {
    if (strText.size() < 5 || strText.compare(0, 3, "%CE") != 0 || strText.back() != '%')
        return 0;
    int nFolder = 0;
    for (size_t nAt = 3; nAt + 1 < strText.size(); ++nAt) {
        if (strText[nAt] < '0' || strText[nAt] > '9' || nFolder > kStandardFolderCount)
            return 0;
        nFolder = nFolder * 10 + (strText[nAt] - '0');
    }
    return nFolder <= kStandardFolderCount ? nFolder : 0;
}

std::string ShortcutText(const std::string& strTarget) {
    const std::string strCommand = "\"" + strTarget + "\"";
    return Format("%zu#%s", strCommand.size(), strCommand.c_str());
}

std::string SystemVersion(uint32_t dwMajor, uint32_t dwMinor) {
    return Format("%lu.%02lu", static_cast<unsigned long>(dwMajor),
                  static_cast<unsigned long>(dwMinor));
}

} // namespace package
