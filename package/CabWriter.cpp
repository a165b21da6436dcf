// muntara-cabwriter: makes a handheld's installation cabinet on the build machine.
//
//   muntara-cabwriter parts TABLE BUILT PARTS --product-name NAME --product-version VERSION
//                           --processor N --system MAJOR.MINOR
//     writes into the folder PARTS (emptied first) the control file made from the installation
//     table TABLE, and a copy of each file it installs from the folder BUILT, each under the
//     name the cabinet gives it ("0muntara.001"). {ProductName} and {ProductVersion} in the
//     table stand for NAME and VERSION; N is the processor value, MAJOR.MINOR the least version
//     of the system the package needs.
//   muntara-cabwriter cabinet CAB PARTS
//     puts the files of PARTS into the cabinet CAB with gcab, in the order the format asks for.
//     The cabinet records each file's time: with SOURCE_DATE_EPOCH set (seconds since 1970, as
//     the build gives the commit's time), each file takes that time, so that the same files
//     make the same cabinet, byte for byte.

#include "package/InstallPlan.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <tuple>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace package;
using namespace package::format;

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

constexpr char kUsage[] =
    "usage: muntara-cabwriter parts TABLE BUILT PARTS --product-name NAME --product-version V\n"
    "                                 --processor N --system MAJOR.MINOR\n"
    "       muntara-cabwriter cabinet CAB PARTS\n";

int Failed(const std::string& strMessage) {
    std::fprintf(stderr, "muntara-cabwriter: %s\n", strMessage.c_str());
    return kExitFailed;
}

bool ReadFile(const fs::path& path, std::vector<uint8_t>& bytes) {
    std::FILE* pFile = std::fopen(path.c_str(), "rb");
    if (!pFile)
        return false;
    bytes.clear();
    uint8_t buffer[4096];
    size_t cbRead = 0;
    while ((cbRead = std::fread(buffer, 1, sizeof buffer, pFile)) > 0)
        bytes.insert(bytes.end(), buffer, buffer + cbRead);
    const bool bRead = std::ferror(pFile) == 0;
    std::fclose(pFile);
    return bRead;
}

bool WriteFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::FILE* pFile = std::fopen(path.c_str(), "wb");
    if (!pFile)
        return false;
    const bool bWritten = std::fwrite(bytes.data(), 1, bytes.size(), pFile) == bytes.size();
    return std::fclose(pFile) == 0 && bWritten;
}

std::string Trim(const std::string& strText) {
    const size_t nFirst = strText.find_first_not_of(" \t\r");
    if (nFirst == std::string::npos)
        return "";
    return strText.substr(nFirst, strText.find_last_not_of(" \t\r") - nFirst + 1);
}

std::vector<std::string> Split(const std::string& strText, char chSeparator) {
    std::vector<std::string> parts;
    size_t nStart = 0;
    for (size_t nEnd; (nEnd = strText.find(chSeparator, nStart)) != std::string::npos;) {
        parts.push_back(strText.substr(nStart, nEnd - nStart));
        nStart = nEnd + 1;
    }
    parts.push_back(strText.substr(nStart));
    return parts;
}

// A decimal number, or a hexadecimal one after "0x"; a leading zero is no octal's (a cabinet's
// file ".009" is file 9).
bool ParseNumber(const std::string& strText, unsigned long nMax, unsigned long& nValue) {
    if (strText.empty() || strText.size() > 10)
        return false;
    char* pEnd = nullptr;
    nValue = std::strtoul(strText.c_str(), &pEnd, strText.rfind("0x", 0) == 0 ? 16 : 10);
    return *pEnd == '\0' && nValue <= nMax;
}

// The cabinet's name for a file: eight characters from its own name (shortened with "~1", or
// padded on the left with "0"), then its number.
std::string CabinetName(const std::string& strName, unsigned nNumber) {
    std::string strBase;
    for (const char ch : strName.substr(0, strName.rfind('.'))) {
        if (std::isalnum(static_cast<unsigned char>(ch)) || ch == '_' || ch == '-')
            strBase += ch;
    }
    if (strBase.size() > 8) {
        strBase = strBase.substr(0, 6) + "~1";
        std::transform(strBase.begin(), strBase.end(), strBase.begin(),
                       [](char ch) { return static_cast<char>(std::toupper(ch)); });
    }
    return std::string(8 - strBase.size(), '0') + strBase + Format(".%03u", nNumber);
}

// The control file, made up line by line from the installation table.
class TableReader {
public:
    TableReader(const std::string& strTable, std::map<std::string, std::string> words)
        : m_strTable(strTable), m_words(std::move(words)) {}

    bool Read(ControlFile& control, std::map<unsigned, std::string>& built) {
        std::vector<uint8_t> bytes;
        if (!ReadFile(m_strTable, bytes))
            return Fail("cannot read the installation table");
        const std::vector<std::string> lines = Split(std::string(bytes.begin(), bytes.end()), '\n');
        for (m_nLine = 1; m_nLine <= lines.size(); ++m_nLine) {
            const std::string strLine = Trim(lines[m_nLine - 1]);
            if (strLine.empty() || strLine[0] == '#')
                continue;
            std::vector<std::string> fields = Split(strLine, '|');
            for (std::string& strField : fields) {
                if (!Replace(Trim(strField), strField))
                    return false;
            }
            if (!ReadEntry(fields, control, built))
                return false;
        }
        m_nLine = 0;
        if (control.strAppName.empty())
            return Fail("the table names no application (appname)");
        return true;
    }

    const std::string& Error() const { return m_strError; }

private:
    bool Fail(const std::string& strMessage) {
        m_strError = m_strTable + (m_nLine ? Format(":%zu", m_nLine) : "") + ": " + strMessage;
        return false;
    }

    // strText with each {Word} replaced.
    bool Replace(const std::string& strText, std::string& strResult) {
        strResult.clear();
        for (size_t nAt = 0; nAt < strText.size();) {
            const size_t nOpen = strText.find('{', nAt);
            strResult += strText.substr(nAt, nOpen - nAt);
            if (nOpen == std::string::npos)
                break;
            const size_t nClose = strText.find('}', nOpen);
            const auto word = m_words.find(strText.substr(nOpen + 1, nClose - nOpen - 1));
            if (nClose == std::string::npos || word == m_words.end())
                return Fail("unknown word in \"" + strText + "\"");
            strResult += word->second;
            nAt = nClose + 1;
        }
        return true;
    }

    // The id of the entry whose key is entry's; entry, numbered next, when there is none.
    template <typename Entry, typename Key>
    static uint16_t EntryId(std::vector<Entry>& entries, Entry entry, Key key) {
        for (const Entry& other : entries) {
            if (key(other) == key(entry))
                return other.nId;
        }
        entry.nId = static_cast<uint16_t>(entries.size() + 1);
        entries.push_back(entry);
        return entry.nId;
    }

    static uint16_t StringId(ControlFile& control, const std::string& strText) {
        return EntryId(
            control.strings, StringEntry{0, strText},
            [](const StringEntry& entry) -> const auto& { return entry.strText; });
    }

    std::vector<uint16_t> PathIds(ControlFile& control, const std::vector<std::string>& parts) {
        std::vector<uint16_t> path;
        for (const std::string& strPart : parts)
            path.push_back(StringId(control, strPart));
        return path;
    }

    // A handheld path of the table: a standard folder "%CEn%" (nFolder n) or the package's own
    // "%InstallDir%" (nFolder 0), then the parts below it.
    bool StandardPath(const std::string& strPath, int& nFolder, std::vector<std::string>& parts) {
        parts = Split(strPath, '\\');
        nFolder = StandardFolder(parts[0]);
        if ((nFolder == 0 && parts[0] != kInstallDir) || parts.size() < 2)
            return Fail("\"" + strPath +
                        "\" is not %CEn% or %InstallDir% followed by a path "
                        "below it");
        return true;
    }

    bool ReadEntry(const std::vector<std::string>& fields, ControlFile& control,
                   std::map<unsigned, std::string>& built) {
        const std::string& strKind = fields[0];
        if (strKind == "appname" && fields.size() == 2) {
            control.strAppName = fields[1];
            return true;
        }
        if (strKind == "provider" && fields.size() == 2) {
            control.strProvider = fields[1];
            return true;
        }
        if (strKind == "file" && fields.size() == 4)
            return ReadFileEntry(fields, control, built);
        if (strKind == "shortcut" && fields.size() == 3)
            return ReadShortcut(fields, control);
        if (strKind == "regvalue" && fields.size() >= 5)
            return ReadValue(fields, control);
        return Fail("not an entry of the table: " + strKind + " with " +
                    Format("%zu fields", fields.size() - 1));
    }

    // file | NUMBER | BUILT FILE | %CEn%\...\NAME
    bool ReadFileEntry(const std::vector<std::string>& fields, ControlFile& control,
                       std::map<unsigned, std::string>& built) {
        unsigned long nNumber = 0;
        if (!ParseNumber(fields[1], kSetupLibraryNumber - 1, nNumber) || nNumber == 0 ||
            built.count(static_cast<unsigned>(nNumber)))
            return Fail("\"" + fields[1] + "\" is not a new file number 1 to 998");
        int nFolder = 0;
        std::vector<std::string> parts;
        if (!StandardPath(fields[3], nFolder, parts))
            return false;
        FileEntry file;
        file.nId = file.nCopyOfId = static_cast<uint16_t>(nNumber);
        file.strName = parts.back();
        parts.pop_back();
        // A package installed again replaces its files, whatever their dates.
        file.dwFlags = kFileAlwaysOverwrite;
        file.nDirId = EntryId(
            control.dirs, DirEntry{0, PathIds(control, parts)},
            [](const DirEntry& entry) -> const auto& { return entry.path; });
        control.files.push_back(file);
        built[file.nId] = fields[2];
        return true;
    }

    // shortcut | %CEn%\...\NAME | FILE NUMBER
    bool ReadShortcut(const std::vector<std::string>& fields, ControlFile& control) {
        LinkEntry link;
        link.nId = static_cast<uint16_t>(control.links.size() + 1);
        int nFolder = 0;
        std::vector<std::string> parts;
        unsigned long nTarget = 0;
        if (!StandardPath(fields[1], nFolder, parts))
            return false;
        if (!ParseNumber(fields[2], kSetupLibraryNumber - 1, nTarget))
            return Fail("\"" + fields[2] + "\" is not a file number");
        parts.erase(parts.begin());
        link.nBaseFolder = static_cast<uint16_t>(nFolder);
        link.nTargetId = static_cast<uint16_t>(nTarget);
        link.nTargetKind = kLinkToFile;
        link.path = PathIds(control, parts);
        control.links.push_back(link);
        return true;
    }

    // regvalue | ROOT\KEY | NAME | TYPE | VALUE [| VALUE...]; TYPE number (decimal or 0x...),
    // string, strings (one text a field) or binary (hex bytes apart).
    bool ReadValue(const std::vector<std::string>& fields, ControlFile& control) {
        std::vector<std::string> key = Split(fields[1], '\\');
        uint16_t nRoot = 0;
        for (uint16_t nCandidate = kClassesRoot; nCandidate <= kUsers; ++nCandidate) {
            if (key[0] == kHiveRootNames[nCandidate])
                nRoot = nCandidate;
        }
        if (nRoot == 0 || key.size() < 2)
            return Fail("\"" + fields[1] + "\" is not HKCR, HKCU, HKLM or HKU, then a key");
        key.erase(key.begin());
        RegKeyEntry value;
        value.nId = static_cast<uint16_t>(control.regKeys.size() + 1);
        value.nHiveId =
            EntryId(control.hives, HiveEntry{0, nRoot, 0, PathIds(control, key)},
                    [](const HiveEntry& entry) { return std::tie(entry.nRoot, entry.path); });
        value.strName = fields[2];
        const std::string& strType = fields[3];
        if (strType == "number" && fields.size() == 5) {
            unsigned long nNumber = 0;
            if (!ParseNumber(fields[4], 0xFFFFFFFF, nNumber))
                return Fail("\"" + fields[4] + "\" is not a 32-bit number");
            value.dwTypeFlags = kRegNumber;
            for (int nByte = 0; nByte < 4; ++nByte)
                value.data.push_back(static_cast<uint8_t>(nNumber >> (8 * nByte)));
        } else if ((strType == "string" && fields.size() == 5) || strType == "strings") {
            value.dwTypeFlags = strType == "string" ? kRegString : kRegMultiString;
            for (size_t nField = 4; nField < fields.size(); ++nField) {
                value.data.insert(value.data.end(), fields[nField].begin(), fields[nField].end());
                value.data.push_back(0);
                if (fields[nField].find("%CE") != std::string::npos)
                    value.nSubstitute = 1;
            }
            if (strType == "strings")
                value.data.push_back(0);
        } else if (strType == "binary" && fields.size() == 5) {
            value.dwTypeFlags = kRegBinary;
            for (const std::string& strByte : Split(fields[4], ' ')) {
                unsigned long nByte = 0;
                if (!strByte.empty() && !ParseNumber("0x" + strByte, 0xFF, nByte))
                    return Fail("\"" + strByte + "\" is not a byte in hexadecimal");
                if (!strByte.empty())
                    value.data.push_back(static_cast<uint8_t>(nByte));
            }
        } else {
            return Fail("\"" + strType + "\" with " +
                        Format("%zu values is not a value's type", fields.size() - 4));
        }
        control.regKeys.push_back(value);
        return true;
    }

    std::string m_strTable;
    std::map<std::string, std::string> m_words;
    std::string m_strError;
    size_t m_nLine = 0;
};

int WriteParts(const std::vector<std::string>& args) {
    if (args.size() != 12 || args[4] != "--product-name" || args[6] != "--product-version" ||
        args[8] != "--processor" || args[10] != "--system")
        return kExitUsage;
    const std::string strTable = args[1];
    const fs::path built = args[2], parts = args[3];
    ControlFile control;
    unsigned long nProcessor = 0, nMajor = 0, nMinor = 0;
    const std::vector<std::string> version = Split(args[11], '.');
    if (!ParseNumber(args[9], 0xFFFFFFFF, nProcessor) || version.size() != 2 ||
        !ParseNumber(version[0], 0xFFFF, nMajor) || !ParseNumber(version[1], 99, nMinor))
        return kExitUsage;
    control.dwProcessor = static_cast<uint32_t>(nProcessor);
    control.dwMinMajor = static_cast<uint32_t>(nMajor);
    control.dwMinMinor = static_cast<uint32_t>(nMinor);

    TableReader table(strTable, {{"ProductName", args[5]}, {"ProductVersion", args[7]}});
    std::map<unsigned, std::string> builtNames;
    if (!table.Read(control, builtNames))
        return Failed(table.Error());

    // What is written is read back as the handheld's installer reads it, so that the build
    // never makes a cabinet the installer would refuse.
    const std::vector<uint8_t> bytes = WriteControlFile(control);
    ControlFile readBack;
    InstallPlan plan;
    std::string strError;
    if (!ReadControlFile(bytes, readBack, strError) || !PlanInstall(readBack, plan, strError))
        return Failed(strTable + ": " + strError);

    std::error_code error;
    fs::remove_all(parts, error);
    if (!fs::create_directories(parts, error))
        return Failed("cannot make " + parts.string());
    if (!WriteFile(parts / CabinetName(control.strAppName, kControlFileNumber), bytes))
        return Failed("cannot write the control file into " + parts.string());
    for (const auto& [nNumber, strName] : builtNames) {
        std::vector<uint8_t> file;
        if (!ReadFile(built / strName, file))
            return Failed("cannot read " + (built / strName).string());
        if (!WriteFile(parts / CabinetName(strName, nNumber), file))
            return Failed("cannot write " + (parts / CabinetName(strName, nNumber)).string());
    }
    return 0;
}

// Gives each file of the cabinet the time SOURCE_DATE_EPOCH says, when it is set, and the same
// permissions (gcab records a file's time and whether it is read-only).
bool SetSourceDate(const std::vector<std::pair<int, std::string>>& files) {
    const char* const pszEpoch = std::getenv("SOURCE_DATE_EPOCH");
    unsigned long nEpoch = 0;
    if (!pszEpoch)
        return true;
    if (!ParseNumber(pszEpoch, 0xFFFFFFFF, nEpoch))
        return false;
    timespec times[2] = {};
    times[0].tv_sec = times[1].tv_sec = static_cast<time_t>(nEpoch);
    for (const auto& file : files) {
        if (::chmod(file.second.c_str(), 0644) != 0 ||
            ::utimensat(AT_FDCWD, file.second.c_str(), times, 0) != 0)
            return false;
    }
    return true;
}

// The number in a cabinet file's name, or -1.
int FileNumber(const std::string& strName) {
    unsigned long nNumber = 0;
    const size_t nDot = strName.rfind('.');
    if (nDot == std::string::npos || strName.size() - nDot != 4 ||
        !std::isdigit(static_cast<unsigned char>(strName[nDot + 1])) ||
        !ParseNumber(strName.substr(nDot + 1), kMaxFileNumber, nNumber))
        return -1;
    return static_cast<int>(nNumber);
}

int WriteCabinet(const std::vector<std::string>& args) {
    if (args.size() != 3)
        return kExitUsage;
    const fs::path cabinet = args[1], parts = args[2];
    std::vector<std::pair<int, std::string>> files;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(parts, error)) {
        const std::string strName = entry.path().filename().string();
        const int nNumber = FileNumber(strName);
        if (nNumber < 0)
            return Failed(strName + " in " + parts.string() + " is not a cabinet's file name");
        files.emplace_back(nNumber, entry.path().string());
    }
    if (error || files.empty())
        return Failed("no files in " + parts.string());
    // The control file first, then the others from the highest number down.
    std::sort(files.begin(), files.end(), [](const auto& first, const auto& second) {
        if ((first.first == 0) != (second.first == 0))
            return first.first == 0;
        return first.first > second.first;
    });
    if (!SetSourceDate(files))
        return Failed("cannot give the files of " + parts.string() +
                      " the time SOURCE_DATE_EPOCH says (seconds since 1970)");
    std::vector<std::string> command = {"gcab", "--create", "--nopath", cabinet.string()};
    for (const auto& file : files)
        command.push_back(file.second);
    std::vector<char*> argv;
    for (std::string& strArg : command)
        argv.push_back(strArg.data());
    argv.push_back(nullptr);

    fs::remove(cabinet, error);
    pid_t pid = 0;
    int nStatus = 0;
    if (posix_spawnp(&pid, "gcab", nullptr, nullptr, argv.data(), environ) != 0)
        return Failed("cannot start gcab (scripts/deps.sh installs it)");
    if (waitpid(pid, &nStatus, 0) != pid || !WIFEXITED(nStatus) || WEXITSTATUS(nStatus) != 0)
        return Failed("gcab could not make " + cabinet.string());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    int nExit = kExitUsage;
    if (!args.empty() && args[0] == "parts")
        nExit = WriteParts(args);
    else if (!args.empty() && args[0] == "cabinet")
        nExit = WriteCabinet(args);
    if (nExit == kExitUsage)
        std::fputs(kUsage, stderr);
    return nExit;
}
