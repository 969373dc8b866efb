// The control plug-in: it hands the host's control application the dispenser's page.
#pragma once

#include "windows_api.h"
#include "xdk/automation_object.h"
#include "xdk/com_ptr.h"

#include <string>

namespace TVXDK::Standard {

// The base of the control pages: the page's window, caption and host link.
class ControlPluginPage : public TallivoxObject2<ITallivoxControlPage> {
public:
    ControlPluginPage(ITypeInfo* typeInfo, ITallivoxControlSite* site, std::string caption);

    HRESULT STDMETHODCALLTYPE Attach(LONG window, LONG* result) override;
    HRESULT STDMETHODCALLTYPE Detach(LONG* result) override;
    HRESULT STDMETHODCALLTYPE Command(LONG code, LONG id, LONG control, LONG* handled) override;
    HRESULT STDMETHODCALLTYPE Help(LONG control, LONG* handled) override;
    HRESULT STDMETHODCALLTYPE Apply(LONG interactive, LONG reserved, LONG* applied) override;

    HWND GetWindow() const { return window_; }
    const std::string& Caption() const { return caption_; }
    ITallivoxControlSite* Site() const { return site_; }

protected:
    virtual bool OnAttach(HWND window);
    virtual bool OnCommand(int code, int id, HWND control);
    virtual bool OnHelp(HWND control);
    virtual bool OnApply(bool interactive);

private:
    ITallivoxControlSite* site_; // held by the host for the page's life
    HWND window_ = nullptr;
    std::string caption_;
};

} // namespace TVXDK::Standard

namespace Plugin {

class ControlPlugin final : public TallivoxObject2<ITallivoxControlPlugin> {
public:
    explicit ControlPlugin(ITypeInfo* typeInfo) : TallivoxObject2<ITallivoxControlPlugin>(typeInfo) {}
    HRESULT STDMETHODCALLTYPE CreatePages(IUnknown* site) override;
};

} // namespace Plugin
