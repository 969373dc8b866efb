// The one way the project includes <windows.h>: the API level and the lean
// options are fixed on the command line by the build (_WIN32_WINNT, NOMINMAX, ...).
#pragma once

#include <windows.h>
