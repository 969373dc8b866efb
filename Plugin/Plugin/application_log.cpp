#include "Plugin/Plugin/application_log.h"

#include <atomic>

namespace Plugin {

namespace {

std::atomic<AppLog*> g_applicationLog{nullptr};

} // namespace

AppLog* ApplicationLog()
{
    return g_applicationLog.load();
}

void SetApplicationLog(AppLog* log)
{
    g_applicationLog.store(log);
}

} // namespace Plugin
