// The plug-in's application log (the trace log) for the kiosk logic's messages: set by
// the plug-in object while it runs, null before and after. Safe from any thread; the
// log itself must outlive its setting.
#pragma once

class AppLog;

namespace Plugin {

AppLog* ApplicationLog();
void SetApplicationLog(AppLog* log);

} // namespace Plugin
