#include "Plugin/Plugin/com/setup_dialogs.h"

#include "Plugin/Plugin/com/cassette_setup_dialog.h"
#include "Plugin/Plugin/com/reject_setup_dialog.h"

#include <commctrl.h>

namespace Plugin {

namespace {

// The number fields' up-down controls are a common control; the class must be
// registered before a template that uses it is created.
void RegisterUpDownClass()
{
    INITCOMMONCONTROLSEX classes{};
    classes.dwSize = sizeof classes;
    classes.dwICC = ICC_UPDOWN_CLASS;
    // A failure shows when the dialog cannot be created.
    InitCommonControlsEx(&classes);
}

} // namespace

bool RunCassetteSetup(HWND owner, const std::string& title, int number)
{
    RegisterUpDownClass();
    DispenserCassetteSetupDialog dialog(title, number);
    return dialog.Execute(owner) == IDOK;
}

bool RunRejectSetup(HWND owner)
{
    RegisterUpDownClass();
    DispenserRejectSetupDialog dialog;
    return dialog.Execute(owner) == IDOK;
}

} // namespace Plugin
