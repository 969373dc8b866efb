// The "DISPENSER" dialog: the small progress window an operation runs under. It shows
// the trace log live, starts the scenario thread, closes itself when the thread ends
// (or stays open for the operator with "Keep Open"), and stops the thread on Cancel.
#pragma once

#include "Plugin/Dispenser/scenario.h"
#include "Plugin/Dispenser/ui/app_log_window.h"
#include "framework/registry.h"
#include "framework/win32/dialog.h"

#include <memory>

namespace DispenserScenario {

class Dialog : public DDialog {
public:
    // `request` may be null (then the dialog shows the process's trace log).
    Dialog(HMODULE module, Request* request);
    ~Dialog() override;

    BOOL InitDialog(HWND window) override;
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void EndDialog(int code) override;

    // The "Log Window" values: "Show" and "Keep Open" (absent: 0).
    bool ShowSetting() const;
    bool KeepOpenSetting() const;

    AppLogWindow* LogWindow() const { return logWindow_.get(); }

private:
    void PlaceInWorkArea(HWND window);

    Request* request_;
    AppLog* log_;
    std::unique_ptr<AppLogWindow> logWindow_;
    bool ending_ = false;
    RegKey key_;
};

// Runs `request` under the dialog, modally on the caller's thread (the dialog starts
// the request's thread), and returns the dialog's end code: a DialogRunner.
int RunUnderDialog(Request& request, WindowHandle parent);
// Makes every later Request::Run of the process show the dialog. The plug-in module,
// and the tests of the dialog, call it before they run operations.
void InstallDialogRunner();

} // namespace DispenserScenario
