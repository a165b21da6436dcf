#pragma once

#include "platform/Handle.h"

#include <windows.h>

#include <functional>
#include <string>

// A program of the build's bin folder, which holds every executable side by side.
std::wstring BinPath(const std::wstring& strExeName);

// Starts that program with the arguments (none when empty); false when it could not be started.
// With pStdHandles (input, output, error) the program gets those as its standard handles, and
// inherits every inheritable handle with them.
bool StartProgram(const std::wstring& strExeName, const std::wstring& strArgs,
                  platform::UniqueHandle& hProcess, DWORD* pdwProcessId = nullptr,
                  const HANDLE (*pStdHandles)[3] = nullptr);

// Opens each thread of the process with dwAccess and hands it to visit (a null handle when it could
// not be opened); returns how many threads the process has.
int ForEachThreadOf(DWORD dwProcessId, DWORD dwAccess,
                    const std::function<void(const platform::UniqueHandle&)>& visit);
