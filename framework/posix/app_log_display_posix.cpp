#include "framework/app_log.h"

#include "framework/posix/message_window.h"

void DeliverLogEntries(WindowHandle window, const std::vector<AppLogEntry>& entries)
{
    window->ShowLogEntries(entries);
}
