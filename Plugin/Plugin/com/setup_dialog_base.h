// What the cassette and reject-bin setup dialogs share: the owner's icon, context help
// on F1 and the "?" button, the reading of number fields with their error report, and
// small control helpers. All of it runs on the dialog's thread.
#pragma once

#include "Plugin/Plugin/com/context_help.h"
#include "framework/win32/dialog.h"

#include <cstdint>
#include <span>
#include <string>

namespace Plugin {

// A stored count or limit: a whole number from 0 to 4294967295 (blanks around it
// allowed). Anything else raises NumericScanException: NumericSyntax for a text that is
// no number, a NumericScanException naming the range for a negative or too large one.
std::uint32_t ScanStoredNumber(const std::string& text);

class SetupDialogBase : public DDialog {
protected:
    // `help` is borrowed: a static table of the dialog's controls.
    SetupDialogBase(const wchar_t* templateName, std::span<const HelpTopic> help);

    // WM_HELP on a control of the dialog shows its help text; every help request is answered here.
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // A failure inside a handler (a registry read or write) is shown to the operator.
    void UnhandledException(const std::string& reason) override;

    // Takes the owner's big icon as the dialog's own.
    void TakeOwnerIcon();

    // The number in the field's text; false after "Ошибка формата числа: ..." has been
    // shown and the focus moved to the field.
    bool ReadNumber(int id, std::uint32_t& value) { return ReadNumber(id, Text(id), value); }
    // The same for a text taken from the field otherwise (a list's selected item).
    bool ReadNumber(int id, const std::string& text, std::uint32_t& value);

    bool IsChecked(int id) const;
    void Check(int id, bool on);
    void Enable(int id, bool on);
    std::string Text(int id) const;
    void SetText(int id, const std::string& text);
    void SetNumber(int id, std::uint32_t value);
    // The up-down control's range: 0 to 2147483647.
    void SetSpinRange(int id);

private:
    std::span<const HelpTopic> help_;
};

} // namespace Plugin
