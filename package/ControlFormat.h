#pragma once

#include <cstddef>
#include <cstdint>

// The control file of a handheld's installation cabinet: the cabinet's file numbered 000, which
// tells the handheld's installer what the package is, which processor and system it needs, where
// each file of the cabinet goes, which shortcuts to make and which registry values to set.
//
//   a fixed header of 100 bytes at offset 0, then anywhere in the file: the APPNAME and PROVIDER
//   strings, the UNSUPPORTED multi-string, and the sections STRINGS, DIRS, FILES, REGHIVES,
//   REGKEYS and LINKS, each found through the header's offset and count
//
// Integers are little-endian; texts are ASCII and end in a zero byte. Other sections name a
// string, folder, file or hive by its id. Spelled out here once for the cabinet writer, which runs
// on the build machine, and the personality's installer, which runs under Wine.
namespace package::format {

constexpr uint32_t kSignature = 0x4543534D; // "MSCE"
constexpr size_t kHeaderBytes = 100;

// The header's fields, by offset. The fields between them are of unknown purpose; the writer
// puts in what such files usually hold (0, except 1 at kUsuallyOneAt).
constexpr size_t kSignatureAt = 0;
constexpr size_t kFileLengthAt = 8; // the whole control file, in bytes
constexpr size_t kUsuallyOneAt = 16;
constexpr size_t kProcessorAt = 20;
constexpr size_t kMinSystemMajorAt = 24; // the least system the package needs; 0 for any
constexpr size_t kMinSystemMinorAt = 28;
constexpr size_t kMaxSystemMajorAt = 32; // the newest system it allows; 0 for any
constexpr size_t kMaxSystemMinorAt = 36;
constexpr size_t kMinBuildAt = 40;
constexpr size_t kMaxBuildAt = 44;
constexpr size_t kSectionCountsAt = 48;  // one 16-bit count per section, in Section order
constexpr size_t kSectionOffsetsAt = 60; // one 32-bit offset per section, in Section order
constexpr size_t kAppNameAt = 84;        // a 16-bit offset, then the 16-bit length with the zero
constexpr size_t kProviderAt = 88;
constexpr size_t kUnsupportedAt = 92; // a multi-string: texts, then an empty one; length 0: none

enum Section : size_t { kStrings, kDirs, kFiles, kRegHives, kRegKeys, kLinks, kSectionCount };
constexpr const char* kSectionNames[kSectionCount] = {"STRINGS",  "DIRS",    "FILES",
                                                      "REGHIVES", "REGKEYS", "LINKS"};

// Each section's entries follow one another without padding; each begins with a 16-bit id and
// ends in a part whose length in bytes its fixed part gives last.
//   STRINGS   id, length (with the zero), the text
//   DIRS      id, length, a path: string ids, then 0
//   FILES     id (the file's number in the cabinet), folder id, a copy of the id, flags (32 bits),
//             length (with the zero), the file's name
//   REGHIVES  id, root (HiveRoot), 0, length, a key path: string ids, then 0
//   REGKEYS   id, hive id, substitution (1: %CEn% in the data stands for its folder), type and
//             flags (32 bits), length, the value's name with its zero, then its data
//   LINKS     id, 0, base folder (n of %CEn%; 0 the package's own folder), target id (a folder's
//             0: the package's own), target kind (LinkTarget), length, the shortcut's path below
//             the base: string ids, then 0
constexpr size_t kFixedBytes[kSectionCount] = {4, 4, 12, 8, 12, 12};

// FILES flags.
constexpr uint32_t kFileReferenceCounted = 0x80000000;
constexpr uint32_t kFileAlwaysOverwrite = 0x40000000; // whatever the dates
constexpr uint32_t kFileKeepNewer = 0x20000000;       // not over a newer file
constexpr uint32_t kFileSelfRegister = 0x10000000;
constexpr uint32_t kFileOnlyIfPresent = 0x00000400; // only over a file that is there
constexpr uint32_t kFileNeverOverwrite = 0x00000010;
constexpr uint32_t kFileNoSkip = 0x00000002;
constexpr uint32_t kFileWarnIfSkipped = 0x00000001;

// REGKEYS types (the bits of kRegTypeMask) and flags.
constexpr uint32_t kRegTypeMask = 0x00010001;
constexpr uint32_t kRegString = 0x00000000;
constexpr uint32_t kRegMultiString = 0x00010000;
constexpr uint32_t kRegBinary = 0x00000001;
constexpr uint32_t kRegNumber = 0x00010001; // 4 bytes
constexpr uint32_t kRegKeepExisting = 0x00000002;

enum HiveRoot : uint16_t { kClassesRoot = 1, kCurrentUser, kLocalMachine, kUsers };
constexpr const char* kHiveRootNames[] = {nullptr, "HKCR", "HKCU", "HKLM", "HKU"};

enum LinkTarget : uint16_t { kLinkToFolder = 0, kLinkToFile = 1 };

// A path of DIRS may begin with "%InstallDir%": the package's own folder, which the handheld's
// installer takes as "\Program Files\" and the package's name unless the person chooses another.
// LINKS name that folder by the base folder 0.
constexpr char kInstallDir[] = "%InstallDir%";

// A path of DIRS or LINKS may begin with "%CEn%", n 1..17: one of the handheld's standard folders.
// These are a handheld's with the system's standard shell; other shells name some otherwise.
constexpr int kStandardFolderCount = 17;
constexpr const char* kStandardFolders[kStandardFolderCount + 1] = {
    nullptr,
    "\\Program Files",
    "\\Windows",
    "\\Windows\\Desktop",
    "\\Windows\\StartUp",
    "\\My Documents",
    "\\Program Files\\Accessories",
    "\\Program Files\\Communications",
    "\\Program Files\\Games",
    "\\Program Files\\Pocket Outlook",
    "\\Program Files\\Office",
    "\\Windows\\Programs",
    "\\Windows\\Programs\\Accessories",
    "\\Windows\\Programs\\Communications",
    "\\Windows\\Programs\\Games",
    "\\Windows\\Fonts",
    "\\Windows\\Recent",
    "\\Windows\\Favorites",
};

// The processor values of the header; 0 for a package that runs on any. The handheld's installer
// takes a package whose value is 0 or the one its kernel reports; an x86 kernel reports 486, 586 or
// 686 from the CPU's family (4, 5, 6 and later), so a program for every x86 from the Pentium on
// ships as two packages, 586 and 686.
struct Processor {
    uint32_t nValue;
    const char* pszName;
};
constexpr Processor kProcessors[] = {
    {0, "any processor"},      {103, "SHx SH3"},       {104, "SHx SH4"},
    {386, "Intel 386"},        {486, "Intel 486"},     {586, "Intel Pentium"},
    {686, "Intel Pentium II"}, {601, "PowerPC 601"},   {603, "PowerPC 603"},
    {604, "PowerPC 604"},      {620, "PowerPC 620"},   {821, "Motorola 821"},
    {1824, "ARM 720"},         {2080, "ARM 820"},      {2336, "ARM 920"},
    {2577, "StrongARM"},       {4000, "MIPS R4000"},   {10003, "Hitachi SH3"},
    {10004, "Hitachi SH3E"},   {10005, "Hitachi SH4"}, {21064, "Alpha 21064"},
    {70001, "ARM 7TDMI"},
};

constexpr const char* ProcessorName(uint32_t nValue) {
    for (const Processor& processor : kProcessors) {
        if (processor.nValue == nValue)
            return processor.pszName;
    }
    return "an unknown processor";
}

// The cabinet's files are named in 8.3 form, the extension the file's three-digit number: 000
// the control file, first in the cabinet; then the files to install in descending order of
// their numbers. 999 is a setup library the handheld's installer would load and run.
constexpr unsigned kControlFileNumber = 0;
constexpr unsigned kSetupLibraryNumber = 999;
constexpr unsigned kMaxFileNumber = 999;

} // namespace package::format
