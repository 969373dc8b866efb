#include "Plugin/Dispenser/ui/scenario_dialog.h"

#include "framework/paths.h"
#include "framework/win32/ui_engine.h"

namespace DispenserScenario {

namespace {

// The rich-edit window class of the dialog, loaded for the run.
class RichEditLibrary {
public:
    RichEditLibrary() : module_(LoadLibraryW(L"riched32.dll")) {}
    ~RichEditLibrary()
    {
        if (module_ != nullptr)
            FreeLibrary(module_);
    }
    RichEditLibrary(const RichEditLibrary&) = delete;
    RichEditLibrary& operator=(const RichEditLibrary&) = delete;

private:
    HMODULE module_;
};

} // namespace

int RunUnderDialog(Request& request, WindowHandle parent)
{
    const RichEditLibrary richEdit;
    auto dialog = std::make_unique<Dialog>(OwnModuleHandle(), &request);
    if (parent != nullptr) {
        SetActiveWindow(parent);
        EnableWindow(parent, TRUE);
    }
    const bool show = dialog->ShowSetting();
    HWND window = dialog->Create(parent);
    int endCode = 0;
    CheckQortoResult(QortoExecute(window, endCode, show ? SW_SHOW : SW_HIDE), __FILE_NAME__, __LINE__);
    // The dialog and its window go now: no message can reach this request after Run.
    dialog.reset();
    return endCode;
}

void InstallDialogRunner()
{
    SetDialogRunner(&RunUnderDialog);
}

} // namespace DispenserScenario
