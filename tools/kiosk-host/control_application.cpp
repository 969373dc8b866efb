#include "tools/kiosk-host/control_application.h"

#include "framework/exceptions.h"
#include "framework/win32/screen_picture.h"
#include "tools/kiosk-host/control_sheet.h"
#include "tools/kiosk-host/host_control_site.h"
#include "tools/kiosk-host/plugin_calls.h"
#include "tools/kiosk-host/text_output.h"

#include <commctrl.h>
#include <prsht.h>

#include <optional>
#include <string>

namespace {

constexpr char kSheetTitle[] = "Настройка киоска";

// The pages hold the site without a reference: they go while it is surely alive.
class PagesRelease {
public:
    explicit PagesRelease(HostControlSite& site) : site_(site) {}
    ~PagesRelease() { site_.ReleasePages(); }
    PagesRelease(const PagesRelease&) = delete;
    PagesRelease& operator=(const PagesRelease&) = delete;

private:
    HostControlSite& site_;
};

void ReportFailure(PluginCaller& caller, const std::string& text)
{
    PrintError("kiosk-host: " + text);
    caller.NoteFailure();
}

SheetClose ShowSheet(ControlSheet& sheet, PluginCaller& caller, const ControlRequest& request)
{
    switch (request.run) {
    case ControlRun::Operator:
        return sheet.Run(request.owner, kSheetTitle, nullptr);
    case ControlRun::ApplyAndOk: {
        bool refused = false;
        UnattendedOperator unattended([&](HWND window) {
            PropSheet_Apply(window);
            refused = sheet.RefusedApplies() != 0;
            PropSheet_PressButton(window, refused ? PSBTN_CANCEL : PSBTN_OK);
        });
        const SheetClose close = sheet.Run(request.owner, kSheetTitle, &unattended);
        if (refused)
            ReportFailure(caller, "a control page refused Apply: the sheet was closed with Cancel");
        else if (unattended.ForcedToCancel())
            ReportFailure(caller, "the control sheet stayed open after OK: it was closed with Cancel");
        return close;
    }
    case ControlRun::PictureAndCancel: {
        std::optional<std::string> failure;
        UnattendedOperator unattended([&](HWND window) {
            try {
                SaveScreenPicture(window, request.picture);
            } catch (const WindowsError& error) {
                failure = error.what();
            }
            PropSheet_PressButton(window, PSBTN_CANCEL);
        });
        const SheetClose close = sheet.Run(request.owner, kSheetTitle, &unattended);
        if (failure)
            ReportFailure(caller, "the control sheet's picture: " + *failure);
        else if (unattended.ForcedToCancel())
            ReportFailure(caller, "the control sheet stayed open after Cancel");
        return close;
    }
    }
    return SheetClose::Cancel;
}

} // namespace

void RunControlApplication(ITallivoxControlPlugin* plugin, Microsoft::WRL::ComPtr<ITypeInfo> siteType,
                           PluginCaller& caller, const ControlRequest& request)
{
    const auto site = MakeHostObject<HostControlSite>(std::move(siteType));
    const PagesRelease release(*site.Get());
    if (!caller.Call(CreatePagesCall(plugin, site.Get())))
        return;
    if (site->Pages().empty()) {
        ReportFailure(caller, "the control plug-in added no page");
        return;
    }
    ControlSheet sheet(*site.Get(), caller);
    const SheetClose close = ShowSheet(sheet, caller, request);
    PrintLine(std::string("control sheet closed: ") + (close == SheetClose::Ok ? "OK" : "Cancel"));
}
