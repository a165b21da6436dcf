// handheld-install: the handheld's installer as the personality plays it, on a cabinet that
// scripts/handheld-install.sh has extracted. It reads the control file, checks that the package
// is for this handheld's processor and system, works out every path and value, and checks that
// each can be made; only then does it make the folders, copy the files, make the shortcuts as
// the handheld's shell keeps them, set the registry values and record the package as the
// handheld does (package/InstallRecord.h), so that it can be removed. A package installed again,
// as a newer version is, first takes the older one away by its record. A package it refuses
// changes nothing.
//
// handheld-install --remove NAME takes away the package its record names NAME, as the
// handheld's list of programs does.

#include "package/InstallPlan.h"
#include "tools/handheld-install/HandheldStore.h"
#include "tools/handheld-install/Removal.h"

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

using namespace package;
using namespace package::format;
using namespace handheld_install;

constexpr int kExitDone = 0;
constexpr int kExitRefused = 1; // nothing changed
constexpr int kExitUsage = 2;
constexpr int kExitFailed = 3; // refused by the platform part way: some of it is changed

// The handheld the personality plays unless told another processor; the handheld build's
// cabinets ask for its system.
constexpr Handheld kHandheld = {MUNTARA_HANDHELD_PROCESSOR, MUNTARA_HANDHELD_SYSTEM_MAJOR,
                                MUNTARA_HANDHELD_SYSTEM_MINOR};

// A control file is a few hundred bytes; the bound keeps a damaged cabinet from costing more.
constexpr DWORD kMaxControlBytes = 1 << 20;

constexpr char kUsage[] =
    "usage: handheld-install [--processor N] CABINET ROOT FOLDER FILE...\n"
    "       handheld-install --remove NAME ROOT\n"
    "  installs the cabinet CABINET (its name serves the messages), extracted into FOLDER:\n"
    "  FILE... are its files in the cabinet's order, the control file (.000) first; ROOT is the\n"
    "  folder that holds the handheld's file system; N the processor the handheld's kernel\n"
    "  reports (default: 586). --remove takes away the installed package NAME.\n"
    "exit codes: 0 done, 1 refused (nothing changed), 2 bad usage, 3 failed part way\n";

void Say(const std::string& strLine) { std::printf("%s\n", strLine.c_str()); }

// The cabinet's files by number: plain 8.3 names ending in three digits, each number once, the
// control file first.
bool NumberFiles(const std::vector<std::wstring>& names, std::map<unsigned, std::wstring>& files,
                 std::string& strError) {
    for (const std::wstring& strName : names) {
        const size_t nDot = strName.rfind(L'.');
        unsigned nNumber = 0;
        bool bNamed = nDot != std::wstring::npos && strName.size() - nDot == 4 &&
                      strName.find_first_of(L"\\/:") == std::wstring::npos;
        for (size_t nAt = nDot + 1; bNamed && nAt < strName.size(); ++nAt) {
            bNamed = strName[nAt] >= L'0' && strName[nAt] <= L'9';
            nNumber = nNumber * 10 + static_cast<unsigned>(strName[nAt] - L'0');
        }
        if (!bNamed)
            strError = "\"" + Narrow(strName) +
                       "\" is not named as a cabinet's file is: a name, then a three-digit number";
        else if (files.empty() && nNumber != kControlFileNumber)
            strError = "its first file is " + Narrow(strName) + ", not the control file (.000)";
        else if (nNumber == kSetupLibraryNumber)
            strError = "it holds a setup library (.999), which this installer does not run";
        else if (!files.emplace(nNumber, strName).second)
            strError = Format("it holds two files numbered %03u", nNumber);
        else
            continue;
        return false;
    }
    return true;
}

class Installer {
public:
    Installer(const std::wstring& strCabinet, const std::wstring& strRoot,
              const std::wstring& strFolder, const Handheld& handheld)
        : m_strCabinet(Narrow(strCabinet)), m_store(strRoot), m_strFolder(strFolder),
          m_handheld(handheld) {}

    // Everything that could refuse the package, before anything changes.
    bool Check(const std::vector<std::wstring>& files) {
        std::vector<uint8_t> bytes;
        ControlFile control;
        std::string strError;
        if (!NumberFiles(files, m_files, strError))
            return Refuse(strError);
        if (!ReadControlBytes(bytes))
            return false;
        if (!ReadControlFile(bytes, control, strError) ||
            !CheckHandheld(control, m_handheld, strError) ||
            !PlanInstall(control, m_plan, strError))
            return Refuse(strError);
        return CheckPlan() && CheckInstalled();
    }

    bool Install() {
        Say("installing " + m_plan.strName + " from " + m_strCabinet);
        std::string strError;
        if (m_bUpgrade) {
            Say("replacing " + m_plan.strName + " as installed");
            if (!RemovePackage(m_store, m_installed, strError))
                return Failed(strError);
        }
        m_record.strName = m_plan.strName;
        if (!::CreateDirectoryW(m_store.Root().c_str(), nullptr) &&
            ::GetLastError() != ERROR_ALREADY_EXISTS)
            return Failed("cannot make the handheld's root folder", ::GetLastError());
        for (const std::string& strFolder : m_plan.folders) {
            if (!m_store.MakeFolder(strFolder, m_record))
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
        if (!Register())
            return false;
        Say("installed " + m_plan.strName);
        return true;
    }

private:
    bool Refuse(const std::string& strMessage) {
        std::fprintf(stderr, "handheld-install: %s: %s; nothing was installed\n",
                     m_strCabinet.c_str(), strMessage.c_str());
        return false;
    }

    bool Failed(const std::string& strWhat) {
        std::fprintf(stderr, "handheld-install: %s: %s; the package is installed in part\n",
                     m_strCabinet.c_str(), strWhat.c_str());
        return false;
    }
    bool Failed(const std::string& strWhat, DWORD dwError) {
        return Failed(Format("%s (error %lu)", strWhat.c_str(), dwError));
    }

    // The plan against the handheld's files: each can be put where the plan puts it.
    bool CheckPlan() {
        for (const PlannedFile& file : m_plan.files) {
            if (!m_files.count(file.nNumber))
                return Refuse(Format("%s: the cabinet has no file numbered %03u",
                                     file.strPath.c_str(), file.nNumber));
        }
        for (const std::string& strFolder : m_plan.folders) {
            if (m_store.Exists(strFolder) && !m_store.IsFolder(strFolder))
                return Refuse(strFolder + " is a file where the package makes a folder");
        }
        for (const PlannedFile& file : m_plan.files) {
            if (m_store.IsFolder(file.strPath))
                return Refuse(file.strPath + " is a folder where the package puts a file");
            if (m_store.InUse(file.strPath))
                return Refuse(file.strPath + " is in use: close the program first");
        }
        for (const PlannedShortcut& shortcut : m_plan.shortcuts) {
            if (m_store.IsFolder(shortcut.strPath))
                return Refuse(shortcut.strPath + " is a folder where the package makes a "
                                                 "shortcut");
        }
        return true;
    }

    // A package of the same name installed before is replaced: its record must be whole, and
    // none of its files in use.
    bool CheckInstalled() {
        std::string strError;
        switch (ReadRecord(m_store, m_plan.strName, m_installed, strError)) {
        case RecordState::kNotInstalled:
            return true;
        case RecordState::kDamaged:
            return Refuse("the record of " + m_plan.strName +
                          " as installed is damaged: " + strError);
        case RecordState::kRead:
            break;
        }
        const std::string strInUse = FileInUse(m_store, m_installed);
        if (!strInUse.empty())
            return Refuse(strInUse + " is in use: close the program first");
        m_bUpgrade = true;
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
        const std::wstring strTarget = m_store.HostPath(file.strPath);
        const bool bExists = m_store.Exists(file.strPath);
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
        m_record.files.push_back(file.strPath);
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
        if (!m_store.WriteText(shortcut.strPath, ShortcutText(shortcut.strTarget)))
            return Failed("cannot make the shortcut " + shortcut.strPath, ::GetLastError());
        m_record.shortcuts.push_back(shortcut.strPath);
        Say("shortcut " + shortcut.strPath + " to " + shortcut.strTarget);
        return true;
    }

    bool SetValue(const PlannedValue& value) {
        const std::string strWhat =
            std::string(kHiveRootNames[value.nRoot]) + "\\" + value.strKey + "\\" + value.strName;
        UniqueKey key;
        if (!m_store.MakeKey({value.nRoot, value.strKey}, m_record, key))
            return Failed("cannot make the key of " + strWhat, ::GetLastError());
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
        m_record.values.push_back({{value.nRoot, value.strKey}, value.strName});
        Say("registry value " + strWhat);
        return true;
    }

    // The handheld's record of the package: the unload file of what was made, then the key its
    // list of programs reads (Instl 1, InstlDir the package's folder, CabFile the cabinet).
    bool Register() {
        const std::string strUnload = UnloadFilePath(m_plan.strName);
        const std::string strWindows = strUnload.substr(0, strUnload.rfind('\\'));
        UniqueKey key;
        if (!m_store.MakeFolder(strWindows, m_record))
            return Failed("cannot make " + strWindows, ::GetLastError());
        if (!m_store.MakeKey({kLocalMachine, RecordKey(m_plan.strName)}, m_record, key))
            return Failed("cannot make HKLM\\" + RecordKey(m_plan.strName), ::GetLastError());
        if (!m_store.WriteText(strUnload, WriteUnloadFile(m_record)))
            return Failed("cannot write " + strUnload, ::GetLastError());
        const DWORD dwInstalled = 1;
        const std::wstring strFolder = Widen(m_plan.strFolder), strCabinet = Widen(m_strCabinet);
        const auto Text = [](const std::wstring& strText) {
            return static_cast<DWORD>((strText.size() + 1) * sizeof(wchar_t));
        };
        LONG lSet =
            ::RegSetValueExW(key.Get(), L"Instl", 0, REG_DWORD,
                             reinterpret_cast<const BYTE*>(&dwInstalled), sizeof dwInstalled);
        if (lSet == ERROR_SUCCESS)
            lSet =
                ::RegSetValueExW(key.Get(), L"InstlDir", 0, REG_SZ,
                                 reinterpret_cast<const BYTE*>(strFolder.c_str()), Text(strFolder));
        if (lSet == ERROR_SUCCESS)
            lSet = ::RegSetValueExW(key.Get(), L"CabFile", 0, REG_SZ,
                                    reinterpret_cast<const BYTE*>(strCabinet.c_str()),
                                    Text(strCabinet));
        if (lSet != ERROR_SUCCESS)
            return Failed("cannot record the package in HKLM\\" + RecordKey(m_plan.strName),
                          static_cast<DWORD>(lSet));
        Say("recorded " + m_plan.strName + " in " + strUnload);
        return true;
    }

    std::string m_strCabinet;
    HandheldStore m_store;
    std::wstring m_strFolder;
    Handheld m_handheld;
    std::map<unsigned, std::wstring> m_files; // by number
    InstallPlan m_plan;
    bool m_bUpgrade = false;
    InstallRecord m_installed; // the record of the package it replaces
    InstallRecord m_record;    // what it makes
};

int Remove(const std::string& strName, const std::wstring& strRoot) {
    const HandheldStore store(strRoot);
    InstallRecord record;
    std::string strError;
    switch (ReadRecord(store, strName, record, strError)) {
    case RecordState::kNotInstalled:
        strError = "no package of that name is installed";
        break;
    case RecordState::kDamaged:
        strError = "its record is damaged: " + strError;
        break;
    case RecordState::kRead:
        strError = FileInUse(store, record);
        if (!strError.empty()) {
            strError += " is in use: close the program first";
            break;
        }
        if (RemovePackage(store, record, strError))
            return kExitDone;
        std::fprintf(stderr, "handheld-install: %s: %s; the package is removed in part\n",
                     strName.c_str(), strError.c_str());
        return kExitFailed;
    }
    std::fprintf(stderr, "handheld-install: %s: %s; nothing was removed\n", strName.c_str(),
                 strError.c_str());
    return kExitRefused;
}

// The root without a separator at its end.
std::wstring RootFolder(std::wstring strRoot) {
    while (!strRoot.empty() && (strRoot.back() == L'\\' || strRoot.back() == L'/'))
        strRoot.pop_back();
    return strRoot;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::wstring> args(argv + 1, argv + argc);
    if (args.size() == 3 && args[0] == L"--remove")
        return Remove(Narrow(args[1]), RootFolder(args[2]));
    Handheld handheld = kHandheld;
    if (args.size() >= 2 && args[0] == L"--processor") {
        wchar_t* pszEnd = nullptr;
        handheld.dwProcessor = static_cast<uint32_t>(std::wcstoul(args[1].c_str(), &pszEnd, 10));
        if (*pszEnd != L'\0' || args[1].empty()) {
            std::fputs(kUsage, stderr);
            return kExitUsage;
        }
        args.erase(args.begin(), args.begin() + 2);
    }
    if (args.size() < 4) {
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    Installer installer(args[0], RootFolder(args[1]), args[2], handheld);
    if (!installer.Check(std::vector<std::wstring>(args.begin() + 3, args.end())))
        return kExitRefused;
    return installer.Install() ? kExitDone : kExitFailed;
}
