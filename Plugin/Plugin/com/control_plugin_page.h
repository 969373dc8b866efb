// The base of the plug-in's pages in the host's control application: the page's
// window, caption and host link, the calls the host makes, and the message boxes and
// field checks the pages share, with their fixed wording.
#pragma once

#include "windows_api.h"
#include "xdk/automation_object.h"

#include <cstdint>
#include <string>

namespace TVXDK::Standard {

class ControlPluginPage : public TallivoxObject2<ITallivoxControlPage> {
public:
    // `site` is the host object that holds the page; it outlives the page.
    ControlPluginPage(ITypeInfo* typeInfo, ITallivoxControlSite* site, std::string caption);

    // The host's calls; each turns a failure into an automation error.
    HRESULT STDMETHODCALLTYPE Attach(LONG window, LONG* result) override;
    HRESULT STDMETHODCALLTYPE Detach(LONG* result) override;
    HRESULT STDMETHODCALLTYPE Command(LONG code, LONG id, LONG control, LONG* handled) override;
    HRESULT STDMETHODCALLTYPE Help(LONG control, LONG* handled) override;
    HRESULT STDMETHODCALLTYPE Apply(LONG interactive, LONG reserved, LONG* applied) override;

    HWND GetWindow() const { return window_; }
    const std::string& Caption() const { return caption_; }
    ITallivoxControlSite* Site() const { return site_; }

    // Brings the page to the front of the host's property sheet and the focus to the control.
    void FocusControl(HWND control);
    void FocusControl(int id) { FocusControl(GetDlgItem(window_, id)); }
    // Offers to correct a doubtful value: true when the operator chose to (Cancel).
    bool ConfirmFieldError(HWND control, const std::string& fieldName, const std::string& problem);
    void ShowFieldError(HWND control, const std::string& fieldName, const std::string& problem);

    // Flag bits of Message and Error: keep no owner, keep no caption. Other bits go on
    // to the box (kErrorMessageRetry).
    static constexpr int kNoDefaultOwner = 0x1;
    static constexpr int kNoDefaultCaption = 0x2;
    int Message(const std::string& text, int style, HWND owner = nullptr, const std::string& caption = {},
                int flags = 0);
    int Error(const std::string& text, HWND owner = nullptr, const std::string& caption = {}, int flags = 0);

    // Field checks: false when the operator chose to correct the value.
    bool CheckNotEmpty(HWND control, const std::string& fieldName, const std::string& hint = {});
    bool CheckNoOuterBlanks(HWND control, const std::string& fieldName, const std::string& hint = {});
    bool CheckPassword(HWND control, HWND repeatControl, const std::string& fieldName = {},
                       const std::string& hint = {});
    // A whole number of the signed 32-bit range (digits may be grouped by blanks);
    // anything else shows the field error and gives false.
    bool ReadInteger(HWND control, const std::string& fieldName, std::int32_t* out);

    static std::string ControlText(HWND control);

protected:
    // What a page adds to the host's calls; the base does nothing and declines.
    virtual bool OnAttach(HWND window);
    virtual bool OnCommand(int code, int id, HWND control);
    virtual bool OnHelp(HWND control);
    virtual bool OnApply(bool interactive);

private:
    ITallivoxControlSite* site_;
    HWND window_ = nullptr;
    std::string caption_;
};

} // namespace TVXDK::Standard
