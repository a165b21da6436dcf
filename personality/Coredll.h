#pragma once

// What the sources of COREDLL.dll share among themselves.
#define PERSONALITY_CORE
#include "personality/Personality.h"

// The program's image, as the loader gave it.
HINSTANCE ProgramInstance();

// A stream device's handle (Devices.cpp): true when hHandle is one, which it then closes.
bool IsDevice(HANDLE hHandle);
bool CloseDevice(HANDLE hHandle);

using personality::Callback;
