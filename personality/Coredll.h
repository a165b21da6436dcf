#pragma once

// What the sources of COREDLL.dll share among themselves.
#define PERSONALITY_CORE
#include "personality/Personality.h"

// The program's image, as the loader gave it.
HINSTANCE ProgramInstance();

// A stream device's handle (Devices.cpp): true when hHandle is one, which it then closes.
bool IsDevice(HANDLE hHandle);
bool CloseDevice(HANDLE hHandle);

// The program's callbacks as Wine calls them: the desktop's convention, checked.
template <typename Function> Function Callback(Function pfnProgram, PersonalityKind kind) {
    return reinterpret_cast<Function>(
        PersonalityCallback(reinterpret_cast<void*>(pfnProgram), kind));
}
