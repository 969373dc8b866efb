#include "Plugin/Plugin/control_plugin.h"

#include "Plugin/Plugin/dispenser_control_page.h"
#include "framework/exceptions.h"
#include "framework/paths.h"
#include "framework/win32/co_string.h"

namespace TVXDK::Standard {

ControlPluginPage::ControlPluginPage(ITypeInfo* typeInfo, ITallivoxControlSite* site, std::string caption)
    : TallivoxObject2<ITallivoxControlPage>(typeInfo), site_(site), caption_(std::move(caption))
{
}

HRESULT STDMETHODCALLTYPE ControlPluginPage::Attach(LONG window, LONG* result)
{
    return Automation::ComMethod([&] {
        window_ = reinterpret_cast<HWND>(static_cast<LONG_PTR>(window));
        const bool attached = OnAttach(window_);
        if (result != nullptr)
            *result = attached ? 1 : 0;
    });
}

HRESULT STDMETHODCALLTYPE ControlPluginPage::Detach(LONG* result)
{
    if (result != nullptr)
        *result = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ControlPluginPage::Command(LONG code, LONG id, LONG control, LONG* handled)
{
    return Automation::ComMethod([&] {
        const bool done = OnCommand(code & 0xFFFF, id & 0xFFFF, reinterpret_cast<HWND>(static_cast<LONG_PTR>(control)));
        if (handled != nullptr)
            *handled = done ? 1 : 0;
    });
}

HRESULT STDMETHODCALLTYPE ControlPluginPage::Help(LONG control, LONG* handled)
{
    return Automation::ComMethod([&] {
        const bool done = OnHelp(reinterpret_cast<HWND>(static_cast<LONG_PTR>(control)));
        if (handled != nullptr)
            *handled = done ? 1 : 0;
    });
}

HRESULT STDMETHODCALLTYPE ControlPluginPage::Apply(LONG interactive, LONG /*reserved*/, LONG* applied)
{
    return Automation::ComMethod([&] {
        const bool done = OnApply(interactive != 0);
        if (applied != nullptr)
            *applied = done ? 1 : 0;
    });
}

bool ControlPluginPage::OnAttach(HWND /*window*/)
{
    return true;
}

bool ControlPluginPage::OnCommand(int, int, HWND)
{
    return false;
}

bool ControlPluginPage::OnHelp(HWND)
{
    return false;
}

bool ControlPluginPage::OnApply(bool)
{
    return true;
}

} // namespace TVXDK::Standard

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
        CoCallEx(site->AddPage(page.Get(), modulePath.Get(), templateName.Get()), "Plugin", __FILE_NAME__, __LINE__);
    });
}

} // namespace Plugin
