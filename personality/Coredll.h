#pragma once

// What the sources of COREDLL.dll share among themselves.
#define PERSONALITY_CORE
#include "personality/Personality.h"

// The program's image, as the loader gave it.
HINSTANCE ProgramInstance();

// Closes hHandle when it is a stream device's (Devices.cpp); false when it is none.
bool CloseDevice(HANDLE hHandle);

using personality::Callback;
