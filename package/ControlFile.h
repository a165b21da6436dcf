#pragma once

#include "package/ControlFormat.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// A control file as records (package/ControlFormat.h has the bytes), read from a cabinet or
// written for one. Paths are lists of string ids, without the closing 0.
namespace package {

struct StringEntry {
    uint16_t nId = 0;
    std::string strText;
};

struct DirEntry {
    uint16_t nId = 0;
    std::vector<uint16_t> path;
};

struct FileEntry {
    uint16_t nId = 0; // the file's number in the cabinet
    uint16_t nDirId = 0;
    uint16_t nCopyOfId = 0;
    uint32_t dwFlags = 0;
    std::string strName;
};

struct HiveEntry {
    uint16_t nId = 0;
    uint16_t nRoot = 0; // format::HiveRoot
    uint16_t nZero = 0;
    std::vector<uint16_t> path;
};

struct RegKeyEntry {
    uint16_t nId = 0;
    uint16_t nHiveId = 0;
    uint16_t nSubstitute = 0;
    uint32_t dwTypeFlags = 0;
    std::string strName; // empty: the key's default value
    std::vector<uint8_t> data;
};

struct LinkEntry {
    uint16_t nId = 0;
    uint16_t nZero = 0;
    uint16_t nBaseFolder = 0; // n of %CEn%
    uint16_t nTargetId = 0;   // a file's or a folder's id, as nTargetKind says
    uint16_t nTargetKind = 0; // format::LinkTarget
    std::vector<uint16_t> path;
};

struct ControlFile {
    uint32_t dwProcessor = 0;
    uint32_t dwMinMajor = 0, dwMinMinor = 0, dwMaxMajor = 0, dwMaxMinor = 0;
    uint32_t dwMinBuild = 0, dwMaxBuild = 0;
    std::string strAppName;
    std::string strProvider;
    std::vector<std::string> unsupported;
    std::vector<StringEntry> strings;
    std::vector<DirEntry> dirs;
    std::vector<FileEntry> files;
    std::vector<HiveEntry> hives;
    std::vector<RegKeyEntry> regKeys;
    std::vector<LinkEntry> links;
};

// Reads a whole control file. False, with strError saying what and where, when the header, a
// count, an offset or a length points outside the file, a text or path lacks its end, or the
// signature or the stated length is wrong; control is then incomplete. Whether the ids refer to
// entries that exist is InstallPlan's to say.
bool ReadControlFile(const std::vector<uint8_t>& bytes, ControlFile& control,
                     std::string& strError);

// The control file's bytes: the header, the two names, then the sections in Section order.
std::vector<uint8_t> WriteControlFile(const ControlFile& control);

// printf's formatting into a string, for messages.
#ifdef __MINGW_PRINTF_FORMAT
#define PACKAGE_PRINTF_FORMAT __MINGW_PRINTF_FORMAT
#else
#define PACKAGE_PRINTF_FORMAT printf
#endif
std::string Format(const char* pszFormat, ...) __attribute__((format(PACKAGE_PRINTF_FORMAT, 1, 2)));

} // namespace package
