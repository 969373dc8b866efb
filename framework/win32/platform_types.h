// Types and attributes whose spelling differs between the Windows and POSIX builds.
#pragma once

#include "windows_api.h"

// printf-style checking of the project's own formatting functions (mingw uses the
// GNU printf of its ANSI stdio, so %zu and %llu are checked and supported).
#define ORVANE_PRINTF(formatIndex, firstArgument) \
    __attribute__((format(gnu_printf, formatIndex, firstArgument)))

// A window that receives posted messages: a real window handle.
using WindowHandle = HWND;

// A loaded module (the plug-in DLL, or null for the process's executable).
using ModuleHandle = HMODULE;
