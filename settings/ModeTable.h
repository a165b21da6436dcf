#pragma once

#include "driver/AudioDrv.h"

#include <windows.h>

constexpr int kModeCapacity = 23;    // records of g_Modes
constexpr int kBuiltInModeCount = 6; // indices 0..5 are the built-in ("default") modes
constexpr int kMaxOwnModes = 16;     // user-defined modes the user interface admits
constexpr int kMaxModeName = 260;    // characters, without the terminating zero

// One equalizer mode: a name and five band levels in band order.
struct EQ_MODE {
    WCHAR szName[kMaxModeName + 1];
    int nLevel[kBandCount];
};

// One band: its registry value name and its driver message.
struct BAND_INFO {
    LPCWSTR pszName;
    int nMsg;
};

// Records 0..g_nModes - 1 are the modes; the records above hold zeros or stale contents.
extern EQ_MODE g_Modes[kModeCapacity];
// Always within 0..kModeCapacity.
extern int g_nModes;
extern const BAND_INFO g_Bands[kBandCount];

// How many code units of pszName a mode keeps: at most kMaxModeName, and never a last one that
// is the first half of a surrogate pair, whose second half would be lost.
int ModeNameLength(LPCWSTR pszName);

// Puts pszName into the record, cut to ModeNameLength and terminated.
void CopyModeName(EQ_MODE& mode, LPCWSTR pszName);

// How many code units of the record's name come before its zero: at most kMaxModeName.
int RecordNameLength(const EQ_MODE& mode);

// Appends a mode holding the live levels, makes it the current mode and saves. The name is
// cut to ModeNameLength. Returns the new index, or -1 (nothing changed) when the table is full.
int AddMode(LPCWSTR pszName);

// Removes mode nIndex, closes the gap, clears the current mode and saves. An index outside the
// modes is refused.
void DeleteMode(int nIndex);
