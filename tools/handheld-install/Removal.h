#pragma once

#include "tools/handheld-install/HandheldStore.h"

#include <string>

// A package as the handheld's record has it, and its removal: what the installation made is taken
// away, then the record.
namespace handheld_install {

enum class RecordState { kNotInstalled, kDamaged, kRead };

// The record of the package strName; for kDamaged, strError says what is wrong with it.
RecordState ReadRecord(const HandheldStore& handheld, const std::string& strName,
                       package::InstallRecord& record, std::string& strError);

// The first of the record's files a program holds open, or an empty text.
std::string FileInUse(const HandheldStore& handheld, const package::InstallRecord& record);

// Takes away what the record names, then the record, saying each step on standard output; false,
// with strError, when the platform refuses a step part way.
bool RemovePackage(const HandheldStore& handheld, const package::InstallRecord& record,
                   std::string& strError);

} // namespace handheld_install
