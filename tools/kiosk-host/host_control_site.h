// The control site (ITallivoxControlSite) of the host's control application: it
// collects the pages a control plug-in adds (CreatePages -> AddPage) for one property
// sheet, and turns a page's report of a change into the sheet's Apply button. One
// site serves one opening of the sheet; it lives on the host's thread.
#pragma once

#include "tools/kiosk-host/host_object.h"

#include <memory>
#include <string>
#include <type_traits>
#include <vector>

// One page as the plug-in added it.
struct ControlPage {
    struct ModuleRelease {
        void operator()(HMODULE module) const noexcept { FreeLibrary(module); }
    };
    using ModuleReference = std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleRelease>;

    // Declared first: the page object (code of that module) goes before the module.
    ModuleReference module;                            // holds the template's module loaded
    Microsoft::WRL::ComPtr<ITallivoxControlPage> object;
    std::wstring templateName;                         // the dialog template in `module`
    std::string name;                                  // the same in UTF-8, for reports
    HWND window = nullptr;                             // the page window while it exists
    bool attached = false;                             // Attach succeeded and returned 1
};

class HostControlSite final : public HostObject<ITallivoxControlSite> {
public:
    explicit HostControlSite(Microsoft::WRL::ComPtr<ITypeInfo> typeInfo);

    // Takes the page for the sheet: the page object (ITallivoxControlPage), the full path
    // of the module holding its dialog template, and the template's name. The module
    // stays referenced until ReleasePages and must hold the template. Refused once the
    // sheet is open.
    HRESULT STDMETHODCALLTYPE AddPage(IUnknown* page, BSTR modulePath, BSTR templateName) override;
    // A page's operator changed something (modified 1) or it is back to the stored
    // values (0): the sheet's Apply button follows. `window` must be a page window of
    // this site's open sheet.
    HRESULT STDMETHODCALLTYPE SetModified(LONG window, LONG modified) override;

    std::vector<std::unique_ptr<ControlPage>>& Pages() { return pages_; }
    // While the sheet is open no page may be added.
    void SetSheetOpen(bool open) { sheetOpen_ = open; }
    // Releases the pages and their modules (after the sheet has closed).
    void ReleasePages() { pages_.clear(); }

private:
    std::vector<std::unique_ptr<ControlPage>> pages_;
    bool sheetOpen_ = false;
};
