#include "Plugin/Plugin/com/setup_dialog_base.h"

#include "framework/exceptions.h"
#include "framework/messages.h"
#include "framework/numbers.h"
#include "framework/paths.h"
#include "framework/text_format.h"
#include "framework/win32/wide_text.h"

#include <commctrl.h>

#include <limits>

namespace Plugin {

std::uint32_t ScanStoredNumber(const std::string& text)
{
    const double value = ScanNumber(FormatInteger, text, 0, true);
    // The values are stored as unsigned DWORDs: a negative count would wrap round to
    // about four billion notes, so it is refused like a number that does not fit.
    if (value < 0 || value > std::numeric_limits<std::uint32_t>::max())
        throw NumericScanException(FormatText("число \"%s\" вне допустимого диапазона от 0 до %u", text.c_str(),
                                              std::numeric_limits<std::uint32_t>::max()));
    return static_cast<std::uint32_t>(value);
}

SetupDialogBase::SetupDialogBase(const wchar_t* templateName, std::span<const HelpTopic> help)
    : DDialog(OwnModuleHandle(), templateName), help_(help)
{
}

INT_PTR SetupDialogBase::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_HELP)
        return DDialog::HandleMessage(message, wParam, lParam);
    const auto* info = reinterpret_cast<const HELPINFO*>(lParam);
    if (info != nullptr && info->iContextType == HELPINFO_WINDOW) {
        HWND item = static_cast<HWND>(info->hItemHandle);
        if (IsChild(Window(), item))
            ShowContextHelp(item, help_);
    }
    return TRUE;
}

void SetupDialogBase::UnhandledException(const std::string& reason)
{
    DDialog::UnhandledException(reason);
    ErrorMessage(reason, nullptr, "", 0);
}

void SetupDialogBase::TakeOwnerIcon()
{
    if (HWND owner = GetWindow(Window(), GW_OWNER))
        SendMessageW(Window(), WM_SETICON, ICON_BIG, SendMessageW(owner, WM_GETICON, ICON_BIG, 0));
}

bool SetupDialogBase::ReadNumber(int id, const std::string& text, std::uint32_t& value)
{
    try {
        value = ScanStoredNumber(text);
        return true;
    } catch (const NumericScanException& error) {
        ErrorMessage("Ошибка формата числа: " + error.Reason(), nullptr, "", 0);
    }
    // The box may have outlived the dialog or the field.
    HWND field = Window() != nullptr ? GetDlgItem(Window(), id) : nullptr;
    if (field != nullptr)
        SendMessageW(Window(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(field), TRUE);
    return false;
}

bool SetupDialogBase::IsChecked(int id) const
{
    return IsDlgButtonChecked(Window(), id) == BST_CHECKED;
}

void SetupDialogBase::Check(int id, bool on)
{
    CheckDlgButton(Window(), id, on ? BST_CHECKED : BST_UNCHECKED);
}

void SetupDialogBase::Enable(int id, bool on)
{
    if (HWND control = GetDlgItem(Window(), id))
        EnableWindow(control, on ? TRUE : FALSE);
}

std::string SetupDialogBase::Text(int id) const
{
    HWND control = GetDlgItem(Window(), id);
    if (control == nullptr)
        return {};
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return Narrow(text);
}

void SetupDialogBase::SetText(int id, const std::string& text)
{
    SetDlgItemTextW(Window(), id, Widen(text).c_str());
}

void SetupDialogBase::SetNumber(int id, std::uint32_t value)
{
    SetText(id, std::to_string(value));
}

void SetupDialogBase::SetSpinRange(int id)
{
    SendDlgItemMessageW(Window(), id, UDM_SETRANGE32, 0, std::numeric_limits<std::int32_t>::max());
}

} // namespace Plugin
