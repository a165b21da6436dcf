// handheld-install: the handheld's installer as the personality plays it, on a cabinet that
// scripts/handheld-install.sh has extracted. It reads the control file, checks that the package
// is for this handheld's processor and system, works out every path and value, and checks that
// each can be made; only then does it make the folders, copy the files, make the shortcuts as
// the handheld's shell keeps them and set the registry values. A package it refuses changes
// nothing.
//
// The handheld's file system is the folder ROOT of this machine: the handheld's
// "\Program Files\x" is ROOT\Program Files\x. Its registry is the registry of the Wine prefix.

#include "package/InstallPlan.h"
#include "platform/Handle.h"

#include <windows.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

using namespace package;
using namespace package::format;

constexpr int kExitInstalled = 0;
constexpr int kExitRefused = 1;
constexpr int kExitUsage = 2;
constexpr int kExitFailed = 3; // refused by the platform part way: some of it is installed

// The handheld the personality plays; the handheld build's cabinet asks for the same.
constexpr Handheld kHandheld = {MUNTARA_HANDHELD_PROCESSOR, MUNTARA_HANDHELD_SYSTEM_MAJOR,
                                MUNTARA_HANDHELD_SYSTEM_MINOR};

// A control file is a few hundred bytes; the bound keeps a damaged cabinet from costing more.
constexpr DWORD kMaxControlBytes = 1 << 20;

constexpr char kUsage[] =
    "usage: handheld-install CABINET ROOT FOLDER FILE...\n"
    "  installs the cabinet CABINET (its name serves the messages), extracted into FOLDER:\n"
    "  FILE... are its files in the cabinet's order, the control file (.000) first; ROOT is the\n"
    "  folder that holds the handheld's file system\n"
    "exit codes: 0 installed, 1 refused (nothing changed), 2 bad usage, 3 failed part way\n";

inline void CloseKey(HKEY hKey) { ::RegCloseKey(hKey); }
using UniqueKey = platform::UniqueOwner<HKEY, CloseKey>;

// The control file's texts are ASCII; a byte above it is taken as Latin-1.
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

class Installer {
public:
    Installer(const std::wstring& strCabinet, const std::wstring& strRoot,
              const std::wstring& strFolder)
        : m_strCabinet(Narrow(strCabinet)), m_strRoot(strRoot), m_strFolder(strFolder) {}

    // Everything that could refuse the package, before anything changes.
    bool Check(const std::vector<std::wstring>& files) {
        std::vector<uint8_t> bytes;
        ControlFile control;
        std::string strError;
        if (!ReadCabinetFiles(files) || !ReadControlBytes(bytes))
            return false;
        if (!ReadControlFile(bytes, control, strError) ||
            !CheckHandheld(control, kHandheld, strError) || !PlanInstall(control, m_plan, strError))
            return Refuse(strError);
        for (const PlannedFile& file : m_plan.files) {
            if (!m_files.count(file.nNumber))
                return Refuse(Format("%s: the cabinet has no file numbered %03u",
                                     file.strPath.c_str(), file.nNumber));
        }
        for (const std::string& strFolder : m_plan.folders) {
            if (Exists(strFolder) && !IsFolder(strFolder))
                return Refuse(strFolder + " is a file where the package makes a folder");
        }
        for (const PlannedFile& file : m_plan.files) {
            if (IsFolder(file.strPath))
                return Refuse(file.strPath + " is a folder where the package puts a file");
        }
        for (const PlannedShortcut& shortcut : m_plan.shortcuts) {
            if (IsFolder(shortcut.strPath))
                return Refuse(shortcut.strPath + " is a folder where the package makes a "
                                                 "shortcut");
        }
        m_strPackage = control.strAppName;
        return true;
    }

    bool Install() {
        Say("installing " + m_strPackage + " from " + m_strCabinet);
        if (!::CreateDirectoryW(m_strRoot.c_str(), nullptr) &&
            ::GetLastError() != ERROR_ALREADY_EXISTS)
            return Failed("cannot make the handheld's root folder", ::GetLastError());
        for (const std::string& strFolder : m_plan.folders) {
            if (!::CreateDirectoryW(HostPath(strFolder).c_str(), nullptr) &&
                ::GetLastError() != ERROR_ALREADY_EXISTS)
                return Failed("cannot make " + strFolder, ::GetLastError());
        }
        for (const PlannedFile& file : m_plan.files) {
            if (!InstallFile(file))
                return false;
        }
        for (const PlannedShortcut& shortcut : m_plan.shortcuts) {
            if (!MakeShortcut(shortcut))
                return false;
        }
        for (const PlannedValue& value : m_plan.values) {
            if (!SetValue(value))
                return false;
        }
        Say("installed " + m_strPackage);
        return true;
    }

private:
    bool Refuse(const std::string& strMessage) {
        std::fprintf(stderr, "handheld-install: %s: %s; nothing was installed\n",
                     m_strCabinet.c_str(), strMessage.c_str());
        return false;
    }

    bool Failed(const std::string& strWhat, DWORD dwError) {
        std::fprintf(stderr,
                     "handheld-install: %s: %s (error %lu); the package is installed "
                     "in part\n",
                     m_strCabinet.c_str(), strWhat.c_str(), dwError);
        return false;
    }

    static void Say(const std::string& strLine) { std::printf("%s\n", strLine.c_str()); }

    std::wstring HostPath(const std::string& strPath) const { return m_strRoot + Widen(strPath); }
    bool Exists(const std::string& strPath) const {
        return ::GetFileAttributesW(HostPath(strPath).c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    bool IsFolder(const std::string& strPath) const {
        const DWORD dwAttributes = ::GetFileAttributesW(HostPath(strPath).c_str());
        return dwAttributes != INVALID_FILE_ATTRIBUTES &&
               (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    }

    // The cabinet's files by number: plain 8.3 names ending in three digits, each number once,
    // the control file first.
    bool ReadCabinetFiles(const std::vector<std::wstring>& files) {
        for (const std::wstring& strName : files) {
            const size_t nDot = strName.rfind(L'.');
            unsigned nNumber = 0;
            bool bNamed = nDot != std::wstring::npos && strName.size() - nDot == 4 &&
                          strName.find_first_of(L"\\/:") == std::wstring::npos;
            for (size_t nAt = nDot + 1; bNamed && nAt < strName.size(); ++nAt) {
                bNamed = strName[nAt] >= L'0' && strName[nAt] <= L'9';
                nNumber = nNumber * 10 + static_cast<unsigned>(strName[nAt] - L'0');
            }
            if (!bNamed)
                return Refuse("\"" + Narrow(strName) +
                              "\" is not named as a cabinet's file is: a name, then a "
                              "three-digit number");
            if (m_files.empty() && nNumber != kControlFileNumber)
                return Refuse("its first file is " + Narrow(strName) +
                              ", not the control file (.000)");
            if (nNumber == kSetupLibraryNumber)
                return Refuse("it holds a setup library (.999), which this installer does "
                              "not run");
            if (!m_files.emplace(nNumber, strName).second)
                return Refuse(Format("it holds two files numbered %03u", nNumber));
        }
        return true;
    }

    bool ReadControlBytes(std::vector<uint8_t>& bytes) {
        const std::wstring strPath = m_strFolder + L"\\" + m_files[kControlFileNumber];
        const platform::UniqueHandle file(
            CheckFile(::CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)));
        LARGE_INTEGER size = {};
        if (!file || !::GetFileSizeEx(file.Get(), &size))
            return Refuse("cannot read its control file " + Narrow(strPath));
        if (size.QuadPart > kMaxControlBytes)
            return Refuse(Format("its control file is %lld bytes, more than any control file "
                                 "holds (%lu)",
                                 size.QuadPart, kMaxControlBytes));
        bytes.resize(static_cast<size_t>(size.QuadPart));
        DWORD cbRead = 0;
        if (!bytes.empty() && (!::ReadFile(file.Get(), bytes.data(),
                                           static_cast<DWORD>(bytes.size()), &cbRead, nullptr) ||
                               cbRead != bytes.size()))
            return Refuse("cannot read its control file " + Narrow(strPath));
        return true;
    }

    static HANDLE CheckFile(HANDLE hFile) {
        return hFile == INVALID_HANDLE_VALUE ? nullptr : hFile;
    }

    bool InstallFile(const PlannedFile& file) {
        const std::wstring strSource = m_strFolder + L"\\" + m_files[file.nNumber];
        const std::wstring strTarget = HostPath(file.strPath);
        const bool bExists = Exists(file.strPath);
        bool bCopy = true;
        if ((file.dwFlags & kFileOnlyIfPresent) && !bExists)
            bCopy = false;
        if ((file.dwFlags & kFileNeverOverwrite) && bExists)
            bCopy = false;
        if ((file.dwFlags & kFileKeepNewer) && bExists && IsNewer(strTarget, strSource))
            bCopy = false;
        if (!bCopy) {
            Say("kept " + file.strPath);
            return true;
        }
        if (!::CopyFileW(strSource.c_str(), strTarget.c_str(), FALSE))
            return Failed("cannot copy file " + Format("%03u", file.nNumber) + " to " +
                              file.strPath,
                          ::GetLastError());
        Say("file " + file.strPath);
        return true;
    }

    // Whether the file strFirst was written after strSecond.
    static bool IsNewer(const std::wstring& strFirst, const std::wstring& strSecond) {
        WIN32_FILE_ATTRIBUTE_DATA first = {}, second = {};
        return ::GetFileAttributesExW(strFirst.c_str(), GetFileExInfoStandard, &first) &&
               ::GetFileAttributesExW(strSecond.c_str(), GetFileExInfoStandard, &second) &&
               ::CompareFileTime(&first.ftLastWriteTime, &second.ftLastWriteTime) > 0;
    }

    bool MakeShortcut(const PlannedShortcut& shortcut) {
        const std::string strText = ShortcutText(shortcut.strTarget);
        const platform::UniqueHandle file(
            CheckFile(::CreateFileW(HostPath(shortcut.strPath).c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)));
        DWORD cbWritten = 0;
        if (!file ||
            !::WriteFile(file.Get(), strText.data(), static_cast<DWORD>(strText.size()), &cbWritten,
                         nullptr) ||
            cbWritten != strText.size())
            return Failed("cannot make the shortcut " + shortcut.strPath, ::GetLastError());
        Say("shortcut " + shortcut.strPath + " to " + shortcut.strTarget);
        return true;
    }

    bool SetValue(const PlannedValue& value) {
        static const HKEY kRoots[] = {nullptr, HKEY_CLASSES_ROOT, HKEY_CURRENT_USER,
                                      HKEY_LOCAL_MACHINE, HKEY_USERS};
        const std::string strWhat =
            std::string(kHiveRootNames[value.nRoot]) + "\\" + value.strKey + "\\" + value.strName;
        HKEY hKey = nullptr;
        const LONG lCreated = ::RegCreateKeyExW(
            kRoots[value.nRoot], Widen(value.strKey).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
            KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &hKey, nullptr);
        if (lCreated != ERROR_SUCCESS)
            return Failed("cannot make the key of " + strWhat, static_cast<DWORD>(lCreated));
        const UniqueKey key(hKey);
        const std::wstring strName = Widen(value.strName);
        if (value.bKeepExisting && ::RegQueryValueExW(key.Get(), strName.c_str(), nullptr, nullptr,
                                                      nullptr, nullptr) == ERROR_SUCCESS) {
            Say("kept registry value " + strWhat);
            return true;
        }
        DWORD dwType = REG_BINARY;
        std::wstring strTexts;
        const BYTE* pData = value.data.data();
        DWORD cbData = static_cast<DWORD>(value.data.size());
        if (value.dwType == kRegNumber) {
            dwType = REG_DWORD;
        } else if (value.dwType == kRegString || value.dwType == kRegMultiString) {
            dwType = value.dwType == kRegString ? REG_SZ : REG_MULTI_SZ;
            strTexts = Widen(std::string(value.data.begin(), value.data.end()));
            pData = reinterpret_cast<const BYTE*>(strTexts.data());
            cbData = static_cast<DWORD>(strTexts.size() * sizeof(wchar_t));
        }
        const LONG lSet = ::RegSetValueExW(key.Get(), strName.c_str(), 0, dwType, pData, cbData);
        if (lSet != ERROR_SUCCESS)
            return Failed("cannot set " + strWhat, static_cast<DWORD>(lSet));
        Say("registry value " + strWhat);
        return true;
    }

    std::string m_strCabinet;
    std::wstring m_strRoot;
    std::wstring m_strFolder;
    std::map<unsigned, std::wstring> m_files; // by number
    InstallPlan m_plan;
    std::string m_strPackage;
};

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 5) {
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    std::wstring strRoot = argv[2];
    while (!strRoot.empty() && (strRoot.back() == L'\\' || strRoot.back() == L'/'))
        strRoot.pop_back();
    Installer installer(argv[1], strRoot, argv[3]);
    if (!installer.Check(std::vector<std::wstring>(argv + 4, argv + argc)))
        return kExitRefused;
    return installer.Install() ? kExitInstalled : kExitFailed;
}
