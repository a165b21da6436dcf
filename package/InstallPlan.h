#pragma once

#include "package/ControlFile.h"

#include <cstdint>
#include <string>
#include <vector>

// What installing a control file's package does, in the handheld's own terms: handheld paths
// ("\Program Files\Muntara Audio\muntara.exe"), registry keys below a root. Worked out whole
// before anything is installed, so that a package that cannot be installed changes nothing.
namespace package {

// The system a handheld runs and its processor, in the header's values.
struct Handheld {
    uint32_t dwProcessor = 0;
    uint32_t dwMajor = 0;
    uint32_t dwMinor = 0;
};

struct PlannedFile {
    uint16_t nNumber = 0; // the extension of its file in the cabinet
    std::string strPath;
    uint32_t dwFlags = 0;
};

struct PlannedShortcut {
    std::string strPath; // the shortcut file, "....lnk"
    std::string strTarget;
};

struct PlannedValue {
    uint16_t nRoot = 0; // format::HiveRoot
    std::string strKey;
    std::string strName;        // empty: the key's default value
    uint32_t dwType = 0;        // format::kRegNumber, kRegString, ...
    bool bKeepExisting = false; // format::kRegKeepExisting
    std::vector<uint8_t> data;  // as in the control file, its texts' %CEn% replaced
};

struct InstallPlan {
    std::string strName;              // as the handheld's list of programs shows it
    std::string strFolder;            // the package's own folder, %InstallDir%
    std::vector<std::string> folders; // each folder to make, a parent before its children
    std::vector<PlannedFile> files;
    std::vector<PlannedShortcut> shortcuts;
    std::vector<PlannedValue> values;
};

// Whether the package is for this handheld's processor and system (build numbers are not
// looked at: the handheld has none that a package could name); otherwise false, with a message
// that says what the package needs.
bool CheckHandheld(const ControlFile& control, const Handheld& handheld, std::string& strError);

// The plan of the control file, or false with a message when an id names no entry, a path would
// leave the handheld's file system or is no path, or a value's data does not fit its type.
bool PlanInstall(const ControlFile& control, InstallPlan& plan, std::string& strError);

// The name the handheld's installer records a package under, and its list of programs shows:
// "<provider> <appname>", or the application's name alone without a provider.
std::string PackageName(const ControlFile& control);

// One part of a handheld path: the name of a file or folder, which cannot lead elsewhere ("."
// or ".."), hold a separator, or hold a character the file system refuses.
bool IsPathPart(const std::string& strName);

// n of a standard folder's "%CEn%", 1 to 17; 0 for any other text.
int StandardFolder(const std::string& strText);

// The shortcut file as the handheld's shell keeps it: the length of the command, "#", then the
// command, the target's path in quotes: 42#"\Program Files\Muntara Audio\muntara.exe".
std::string ShortcutText(const std::string& strTarget);

// "4.20", as the system's versions are written.
std::string SystemVersion(uint32_t dwMajor, uint32_t dwMinor);

} // namespace package
