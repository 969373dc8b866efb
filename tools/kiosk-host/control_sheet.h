// The control application's property sheet: one page per page of the site, made from
// the page's dialog template in the page's module, with OK, Cancel and Apply. Each page
// window is handed to its page object (Attach) when it is made and taken back (Detach)
// when it goes; its commands, help requests and the sheet's Apply go to the page. A page
// that refuses Apply keeps the sheet open. Cancel calls no page but to Detach. Modal,
// on the host's thread.
#pragma once

#include "tools/kiosk-host/host_control_site.h"
#include "tools/kiosk-host/plugin_caller.h"
#include "tools/kiosk-host/unattended_operator.h"

#include <string>
#include <vector>

enum class SheetClose { Ok, Cancel };

class ControlSheet {
public:
    // The site (its pages) and the caller outlive the sheet.
    ControlSheet(HostControlSite& site, PluginCaller& caller);
    ControlSheet(const ControlSheet&) = delete;
    ControlSheet& operator=(const ControlSheet&) = delete;

    // Shows the sheet over `owner` until it is closed, by the operator or by `unattended`
    // (null: a person at the screen); throws HostError when it cannot be shown.
    SheetClose Run(HWND owner, const std::string& title, UnattendedOperator* unattended);

    // Applies a page refused (returned 0 or failed) since the sheet opened.
    int RefusedApplies() const { return refusedApplies_; }

private:
    struct PageBinding {
        ControlSheet* sheet;
        ControlPage* page;
    };

    static INT_PTR CALLBACK PageProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR OnInitPage(ControlPage& page, HWND window);
    INT_PTR OnPageMessage(ControlPage& page, HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LONG_PTR OnApply(ControlPage& page);

    HostControlSite& site_;
    PluginCaller& caller_;
    UnattendedOperator* unattended_ = nullptr;
    std::vector<PageBinding> bindings_;
    bool cancelled_ = false;
    int refusedApplies_ = 0;
};
