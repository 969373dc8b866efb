// Types and attributes whose spelling differs between the Windows and POSIX builds.
#pragma once

#define ORVANE_PRINTF(formatIndex, firstArgument) \
    __attribute__((format(printf, formatIndex, firstArgument)))

class MessageWindow;

// A window that receives posted messages: on POSIX an object of the project's own
// message-target class stands in for a window handle (see message_window.h).
using WindowHandle = MessageWindow*;

// A loaded module: any address inside it, or null for the process's executable.
using ModuleHandle = const void*;
