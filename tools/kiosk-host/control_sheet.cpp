#include "tools/kiosk-host/control_sheet.h"

#include "framework/win32/wide_text.h"
#include "tools/kiosk-host/host_error.h"
#include "tools/kiosk-host/plugin_calls.h"
#include "tools/kiosk-host/text_output.h"

#include <commctrl.h>
#include <prsht.h>

namespace {

// Pages may not be added while the sheet is open.
class OpenSheetMark {
public:
    explicit OpenSheetMark(HostControlSite& site) : site_(site) { site_.SetSheetOpen(true); }
    ~OpenSheetMark() { site_.SetSheetOpen(false); }
    OpenSheetMark(const OpenSheetMark&) = delete;
    OpenSheetMark& operator=(const OpenSheetMark&) = delete;

private:
    HostControlSite& site_;
};

} // namespace

ControlSheet::ControlSheet(HostControlSite& site, PluginCaller& caller) : site_(site), caller_(caller) {}

SheetClose ControlSheet::Run(HWND owner, const std::string& title, UnattendedOperator* unattended)
{
    // The templates may use any common control (the dispenser's page has an up-down).
    const INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&classes);

    unattended_ = unattended;
    cancelled_ = false;
    refusedApplies_ = 0;
    bindings_.clear();
    for (const auto& page : site_.Pages())
        bindings_.push_back({this, page.get()});

    std::vector<PROPSHEETPAGEW> pages;
    for (PageBinding& binding : bindings_) {
        PROPSHEETPAGEW page{};
        page.dwSize = PROPSHEETPAGEW_V1_SIZE; // what every comctl32 takes
        page.dwFlags = PSP_DEFAULT;           // the tab shows the template's caption
        page.hInstance = binding.page->module.get();
        page.pszTemplate = binding.page->templateName.c_str();
        page.pfnDlgProc = &ControlSheet::PageProcedure;
        page.lParam = reinterpret_cast<LPARAM>(&binding);
        pages.push_back(page);
    }
    const std::wstring caption = Widen(title);
    PROPSHEETHEADERW header{};
    header.dwSize = PROPSHEETHEADERW_V1_SIZE;
    header.dwFlags = PSH_PROPSHEETPAGE;
    header.hwndParent = owner;
    header.hInstance = GetModuleHandleW(nullptr);
    header.pszCaption = caption.c_str();
    header.nPages = static_cast<UINT>(pages.size());
    header.ppsp = pages.data();

    const OpenSheetMark open(site_);
    if (PropertySheetW(&header) < 0)
        throw HostError("the control sheet cannot be shown: error " + std::to_string(GetLastError()));
    return cancelled_ ? SheetClose::Cancel : SheetClose::Ok;
}

INT_PTR CALLBACK ControlSheet::PageProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    try {
        if (message == WM_INITDIALOG) {
            const auto* sheetPage = reinterpret_cast<const PROPSHEETPAGEW*>(lParam);
            auto* binding = reinterpret_cast<PageBinding*>(sheetPage->lParam);
            SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(binding));
            return binding->sheet->OnInitPage(*binding->page, window);
        }
        auto* binding = reinterpret_cast<PageBinding*>(GetWindowLongPtrW(window, DWLP_USER));
        if (binding == nullptr)
            return FALSE;
        return binding->sheet->OnPageMessage(*binding->page, window, message, wParam, lParam);
    } catch (...) {
        // Only the host's own output can throw here; the dialog goes on.
        return FALSE;
    }
}

INT_PTR ControlSheet::OnInitPage(ControlPage& page, HWND window)
{
    page.window = window;
    LONG attached = 0;
    if (caller_.Call(AttachCall(page.object.Get(), page.name, window, &attached)) && attached == 0) {
        PrintError("kiosk-host: " + page.name + " did not take its window (Attach returned 0)");
        caller_.NoteFailure();
    }
    page.attached = attached != 0;
    if (unattended_ != nullptr)
        unattended_->Start(GetParent(window));
    return TRUE;
}

INT_PTR ControlSheet::OnPageMessage(ControlPage& page, HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND: {
        if (!page.attached)
            return FALSE;
        LONG handled = 0;
        caller_.Call(PageCommandCall(page.object.Get(), page.name, HIWORD(wParam), LOWORD(wParam),
                                     reinterpret_cast<HWND>(lParam), &handled));
        return handled != 0;
    }
    case WM_HELP: {
        if (!page.attached)
            return FALSE;
        const auto* help = reinterpret_cast<const HELPINFO*>(lParam);
        LONG handled = 0;
        caller_.Call(PageHelpCall(page.object.Get(), page.name, static_cast<HWND>(help->hItemHandle), &handled));
        return handled != 0;
    }
    case WM_NOTIFY: {
        const auto* notice = reinterpret_cast<const NMHDR*>(lParam);
        if (notice->code == static_cast<UINT>(PSN_APPLY)) {
            SetWindowLongPtrW(window, DWLP_MSGRESULT, OnApply(page));
            return TRUE;
        }
        if (notice->code == static_cast<UINT>(PSN_RESET))
            cancelled_ = true;
        return FALSE;
    }
    case WM_DESTROY:
        if (page.attached) {
            LONG detached = 0;
            caller_.Call(DetachCall(page.object.Get(), page.name, &detached));
        }
        page.attached = false;
        page.window = nullptr;
        return FALSE;
    default:
        return FALSE;
    }
}

LONG_PTR ControlSheet::OnApply(ControlPage& page)
{
    // A page that did not take its window has shown nothing of its own: it has nothing
    // to write (its failure is reported already).
    if (!page.attached)
        return PSNRET_NOERROR;
    LONG applied = 0;
    const bool called = caller_.Call(ApplyCall(page.object.Get(), page.name, true, &applied));
    if (called)
        PrintLine(page.name + ".Apply(1): " + std::to_string(applied));
    if (called && applied != 0)
        return PSNRET_NOERROR;
    ++refusedApplies_;
    return PSNRET_INVALID_NOCHANGEPAGE;
}
