#include "Plugin/Plugin/com/control_plugin.h"

#include "Plugin/Plugin/com/dispenser_control_page.h"
#include "framework/exceptions.h"
#include "framework/paths.h"
#include "framework/win32/co_string.h"
#include "xdk/com_ptr.h"

namespace Plugin {

HRESULT STDMETHODCALLTYPE ControlPlugin::CreatePages(IUnknown* siteObject)
{
    return Automation::ComMethod([&] {
        if (siteObject == nullptr)
            throw CoError(static_cast<std::int32_t>(E_POINTER), __FILE_NAME__, __LINE__);
        TVXDK::Tallivox::ComPtr<ITallivoxControlSite> site;
        CoCallEx(siteObject->QueryInterface(__uuidof(ITallivoxControlSite), reinterpret_cast<void**>(site.Receive())),
                 "Plugin", __FILE_NAME__, __LINE__);
        const auto typeInfo = Automation::GetTallivexTypeInfo(__uuidof(ITallivoxControlPage));
        const TVXDK::Tallivox::ComPtr<ITallivoxControlPage> page(new DispenserControlPage(typeInfo.Get(), site.Get()),
                                                                  false);
        const CoString modulePath(GetModuleFileNameA(OwnModuleHandle()));
        const CoString templateName(std::string("DispenserControlPage"));
        Automation::CheckHostCall(site->AddPage(page.Get(), modulePath.Get(), templateName.Get()), __FILE_NAME__,
                                  __LINE__);
    });
}

} // namespace Plugin
