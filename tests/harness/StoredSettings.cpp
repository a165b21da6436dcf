#include "harness/StoredSettings.h"

#include <algorithm>

std::wstring ModeKeyName(int nMode) {
    wchar_t szName[16];
    ::wsprintfW(szName, L"%05d", nMode);
    return szName;
}

RegTree ModeKeyTree(const std::wstring& strName, const BandLevels& levels) {
    RegTree tree;
    tree.values[L"Name"] = Sz(strName);
    for (int nBand = 0; nBand < 5; ++nBand)
        tree.values[kBandValues[nBand]] = Dword(static_cast<DWORD>(levels[nBand]));
    return tree;
}

RegTree SettingsWithOwnModes(const std::vector<std::wstring>& ownNames) {
    const BandLevels builtIn[kBuiltInCount] = {{8, 8, 8, 8, 8}, {7, 4, 6, 5, 3}, {3, 5, 9, 4, 5},
                                               {8, 7, 6, 6, 4}, {6, 2, 7, 8, 3}, {12, 9, 2, 9, 12}};
    RegTree tree;
    for (int nBand = 0; nBand < 5; ++nBand)
        tree.values[kBandValues[nBand]] = Dword(8);
    tree.values[L"AGC"] = Dword(48);
    tree.values[L"EQ Enabled"] = Dword(1);
    tree.values[L"AGC Enabled"] = Dword(1);
    tree.values[L"CurPF"] = Dword(0);
    tree.values[L"Count"] = Dword(static_cast<DWORD>(kBuiltInCount + ownNames.size()));
    for (int nMode = 0; nMode < kBuiltInCount; ++nMode)
        tree.keys[ModeKeyName(nMode)] = ModeKeyTree(kBuiltInNames[nMode], builtIn[nMode]);
    for (size_t nOwn = 0; nOwn < ownNames.size(); ++nOwn) {
        const int nLevel = static_cast<int>(nOwn % 16);
        tree.keys[ModeKeyName(kBuiltInCount + static_cast<int>(nOwn))] =
            ModeKeyTree(ownNames[nOwn], {nLevel, nLevel, nLevel, nLevel, nLevel});
    }
    return tree;
}

RegTree StoredSettings() {
    RegTree tree;
    ReadTree(HKEY_CURRENT_USER, kSettingsPath, tree);
    return tree;
}

std::vector<std::wstring> StoredModeNames(const RegTree& stored) {
    std::vector<std::wstring> names;
    const auto count = stored.values.find(L"Count");
    if (count == stored.values.end() || count->second.data.size() != sizeof(DWORD))
        return names;
    DWORD dwCount = 0;
    std::copy(count->second.data.begin(), count->second.data.end(),
              reinterpret_cast<BYTE*>(&dwCount));
    for (DWORD dwMode = 0; dwMode < dwCount; ++dwMode) {
        const auto mode = stored.keys.find(ModeKeyName(static_cast<int>(dwMode)));
        if (mode == stored.keys.end() || !mode->second.values.count(L"Name")) {
            if (dwMode < kBuiltInCount)
                names.push_back(kBuiltInNames[dwMode]); // the program's own stands for it
            continue;
        }
        const std::vector<BYTE>& bytes = mode->second.values.at(L"Name").data;
        std::wstring strName(bytes.size() / sizeof(wchar_t), L'\0');
        std::copy(bytes.begin(), bytes.begin() + strName.size() * sizeof(wchar_t),
                  reinterpret_cast<BYTE*>(&strName[0]));
        names.push_back(strName.c_str()); // up to the terminating zero
    }
    return names;
}
