#pragma once

#include "harness/Contract.h"
#include "harness/RegistryTree.h"

#include <array>
#include <string>
#include <vector>

// The settings key as the program stores it, built and read back as plain data.

using BandLevels = std::array<int, 5>;

// The subkey of stored mode nMode: "00000", "00001", ...
std::wstring ModeKeyName(int nMode);
// A stored mode, as its subkey holds it.
RegTree ModeKeyTree(const std::wstring& strName, const BandLevels& levels);
// A settings key as a closed application leaves it: the six built-in modes, then the given own
// modes (own mode k at level k % 16 on every band), live levels 8, current mode "Flat".
RegTree SettingsWithOwnModes(const std::vector<std::wstring>& ownNames);
// The settings key as stored now; empty when it does not exist.
RegTree StoredSettings();
// The names of the stored modes 0..Count - 1 as the program lists them (a missing subkey, or one
// without a name, is no mode, or the built-in mode of its index).
std::vector<std::wstring> StoredModeNames(const RegTree& stored);
