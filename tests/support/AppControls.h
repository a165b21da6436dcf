#pragma once

#include <windows.h>

// The application's controls and driver messages, spelled out here rather than taken from the
// program's own headers, so that a wrong number in the program shows.
enum AppControl : int {
    kEnableEQ = 2002,
    kNew = 2011,
    kSave = 2012,
    kDelete = 2013,
    kBand0 = 2051,
    kBand1 = 2052,
    kBand3 = 2053,
    kBand2 = 2054,
    kBand4 = 2055,
    kModeList = 2056,
    kNameEdit = 2151,
    kEnableAGC = 3002,
    kLevel = 3100,
    kMicModes = 3102,
};

// The band sliders in band order, and the nine controls the equalizer switch greys out.
const int kBandControls[5] = {kBand0, kBand1, kBand2, kBand3, kBand4};
const int kNineControls[9] = {kBand4,    kBand3, kBand2, kBand1, kBand0,
                              kModeList, kNew,   kSave,  kDelete};
// The stored band values in band order.
const wchar_t* const kBandValues[5] = {L"100Hz", L"250Hz", L"1KHz", L"3.5KHz", L"10KHz"};

constexpr DWORD kEQEnableMsg = 111;
constexpr DWORD kAGCEnableMsg = 112;
constexpr DWORD kAGCLevelMsg = 113;
constexpr DWORD kBandMsg = 114; // band i is 114 + i
