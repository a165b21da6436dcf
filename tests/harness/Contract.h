#pragma once

#include <windows.h>

// What the tests and benchmarks know of the program from outside: its controls, its stored
// values, its settings key, its built-in modes and its driver messages. Spelled out here rather
// than taken from the program's own headers, so that a wrong number or name in the program shows.

enum AppControl : int {
    kEQTitle = 2001,
    kEnableEQ = 2002,
    kEQMax = 2003,
    kModeLabel = 2010,
    kNew = 2011,
    kSave = 2012,
    kDelete = 2013,
    kBand0 = 2051,
    kBand1 = 2052,
    kBand3 = 2053,
    kBand2 = 2054,
    kBand4 = 2055,
    kModeList = 2056,
    kNameLabel = 2101, // of the Save Mode dialog
    kNameEdit = 2151,
    kMicTitle = 3001,
    kEnableAGC = 3002,
    kMicMin = 3003,
    kMicMax = 3004,
    kLevel = 3100,
    kMicModes = 3102,
};

// The band sliders in band order, and the nine controls the equalizer switch greys out.
const int kBandControls[5] = {kBand0, kBand1, kBand2, kBand3, kBand4};
const int kNineControls[9] = {kBand4,    kBand3, kBand2, kBand1, kBand0,
                              kModeList, kNew,   kSave,  kDelete};

// The name of the one copy's claim in a user's session.
constexpr LPCWSTR kOneCopyClaim = L"Local\\Muntara Audio";

// The settings key below HKEY_CURRENT_USER, and its parent.
constexpr LPCWSTR kSettingsParent = L"ControlPanel";
constexpr LPCWSTR kSettingsPath = L"ControlPanel\\Trilbo Audio";
// The stored band values in band order.
const wchar_t* const kBandValues[5] = {L"100Hz", L"250Hz", L"1KHz", L"3.5KHz", L"10KHz"};
// The built-in modes, as listed and stored.
constexpr int kBuiltInCount = 6;
const wchar_t* const kBuiltInNames[kBuiltInCount] = {L"Flat", L"Classical", L"Rock",
                                                     L"Jazz", L"Dance",     L"Vocal"};

// The device control code that carries a driver message, and the messages.
constexpr DWORD kWavMessageCode = 0x001D000C;
constexpr DWORD kEQEnableMsg = 111;
constexpr DWORD kAGCEnableMsg = 112;
constexpr DWORD kAGCLevelMsg = 113;
constexpr DWORD kBandMsg = 114; // band i is 114 + i
constexpr DWORD kHeadphoneQuery = 123;
