// The setup dialog of one cassette: denomination, tracked count, and the "Max Dispense"
// and "Min Amount" limits. It reads the cassette's values from the registry when it
// opens and writes them when the operator presses Ok; Отмена writes nothing. Whether
// the cassette is in use is set on the service page, not here.
#pragma once

#include "Plugin/Plugin/com/setup_dialog_base.h"

#include <string>

namespace Plugin {

class DispenserCassetteSetupDialog : public SetupDialogBase {
public:
    // Cassette `number` is 1 (upper, or the only one) or 2 (lower); other numbers raise
    // InvalidValue. An empty title keeps the template's "Параметры кассеты".
    DispenserCassetteSetupDialog(std::string title, int number);

    BOOL InitDialog(HWND window) override;
    void Command(int code, int id, HWND control) override;
    // Checks every field, then writes; a refused field is reported and nothing is written.
    void Ok() override;

private:
    struct Values;

    void FillDenominations(std::uint32_t stored);
    std::string SelectedDenomination() const;
    void UpdateControls();
    bool Collect(Values& values);

    std::string title_;
    int number_;
};

} // namespace Plugin
