// The host's type library, embedded in the plug-in's module as its TYPELIB resource
// and loaded without registering anything.
#include "xdk/automation_object.h"

#include "framework/exceptions.h"
#include "framework/paths.h"
#include "framework/win32/wide_text.h"

#include <mutex>

namespace Automation {

namespace {

std::mutex g_mutex;
ITypeLib* g_library = nullptr; // kept for the life of the module

ITypeLib* Library()
{
    std::lock_guard lock(g_mutex);
    if (g_library == nullptr) {
        const std::wstring path = Widen(GetModuleFileNameA(OwnModuleHandle()));
        CoCallEx(LoadTypeLibEx(path.c_str(), REGKIND_NONE, &g_library), "xdk", __FILE_NAME__, __LINE__);
    }
    return g_library;
}

} // namespace

TVXDK::Tallivox::ComPtr<ITypeInfo> GetTallivexTypeInfo(REFIID iid)
{
    TVXDK::Tallivox::ComPtr<ITypeInfo> info;
    CoCallEx(Library()->GetTypeInfoOfGuid(iid, info.Receive()), "xdk", __FILE_NAME__, __LINE__);
    return info;
}

} // namespace Automation
