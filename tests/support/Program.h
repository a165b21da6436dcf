#pragma once

#include "platform/Handle.h"

#include <windows.h>

#include <string>

// A program of the build's bin folder, which holds every executable side by side.
std::wstring BinPath(const std::wstring& strExeName);

// Starts that program without arguments; false when it could not be started.
bool StartProgram(const std::wstring& strExeName, platform::UniqueHandle& hProcess,
                  DWORD& dwProcessId);
