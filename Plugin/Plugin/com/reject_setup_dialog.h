// The setup dialog of the reject bin: its tracked count (with a reset to 0) and the
// "Max Limit". It reads the values from the registry when it opens and writes them
// when the operator presses Ok; Отмена writes nothing. Whether the count is tracked at
// all is set on the service page, not here.
#pragma once

#include "Plugin/Plugin/com/setup_dialog_base.h"

namespace Plugin {

class DispenserRejectSetupDialog : public SetupDialogBase {
public:
    DispenserRejectSetupDialog();

    BOOL InitDialog(HWND window) override;
    void Command(int code, int id, HWND control) override;
    // Checks every field, then writes; a refused field is reported and nothing is written.
    void Ok() override;

private:
    void UpdateControls();
};

} // namespace Plugin
