// Posting messages to a window, and registered message numbers. On Windows these are
// PostMessageW and RegisterWindowMessageW; on POSIX the window is a MessageWindow
// (posix/message_window.h) and names are numbered from 0xC000 in the process.
#pragma once

#include "platform_types.h"

#include <cstdint>

// Posts a message to a window without waiting; false when the window cannot take it.
bool PostWindowMessage(WindowHandle window, unsigned message, std::uintptr_t wParam, std::intptr_t lParam);

// The process-wide number of a named window message; the same name gives the same number.
unsigned RegisterWindowMessageName(const char* name);
