#include "Plugin/Plugin/com/cassette_setup_dialog.h"

#include "Plugin/Dispenser/counter_records.h"
#include "Plugin/Dispenser/dispenser_log.h"
#include "Plugin/Dispenser/pending_pass.h"
#include "Plugin/Dispenser/settings.h"
#include "framework/exceptions.h"
#include "framework/text_format.h"
#include "framework/win32/wide_text.h"
#include "resources/setup_dialog_ids.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>

namespace Plugin {

namespace {

// The notes the dispenser is loaded with, in roubles.
constexpr std::array<std::uint32_t, 7> kDenominations{5, 10, 50, 100, 500, 1000, 5000};

constexpr HelpTopic kHelp[] = {
    {IDC_CASSETTE_DENOMINATION_LABEL, 5}, {IDC_CASSETTE_DENOMINATION, 5},   {IDC_CASSETTE_COUNTED, 6},
    {IDC_CASSETTE_COUNT, 7},              {IDC_CASSETTE_COUNT_SPIN, 7},     {IDC_CASSETTE_MAX_DISPENSE_ON, 8},
    {IDC_CASSETTE_MAX_DISPENSE, 9},       {IDC_CASSETTE_MAX_DISPENSE_SPIN, 9}, {IDC_CASSETTE_MIN_AMOUNT_ON, 10},
    {IDC_CASSETTE_MIN_AMOUNT, 11},        {IDC_CASSETTE_MIN_AMOUNT_SPIN, 11},
};

int CheckedNumber(int number)
{
    if (number != 1 && number != 2)
        throw InvalidValue(FormatText("Неверный номер кассеты: %d", number));
    return number;
}

} // namespace

// What Ok writes, read from the fields before anything is written.
struct DispenserCassetteSetupDialog::Values {
    std::uint32_t denomination = 0;
    bool counted = false;
    std::uint32_t count = 0;
    bool maxDispenseOn = false;
    std::uint32_t maxDispense = 0;
    bool minAmountOn = false;
    std::uint32_t minAmount = 0;
};

DispenserCassetteSetupDialog::DispenserCassetteSetupDialog(std::string title, int number)
    : SetupDialogBase(L"DispenserCassetteSetupDialog", kHelp), title_(std::move(title)), number_(CheckedNumber(number))
{
}

BOOL DispenserCassetteSetupDialog::InitDialog(HWND window)
{
    const BOOL result = SetupDialogBase::InitDialog(window);
    TakeOwnerIcon();
    if (!title_.empty())
        SetWindowTextW(window, Widen(title_).c_str());

    DispenserControl::Settings store(false);
    DispenserControl::Cassette cassette(store, number_);
    FillDenominations(cassette.GetDenomination());

    Check(IDC_CASSETTE_COUNTED, cassette.IsCounted());
    SetNumber(IDC_CASSETTE_COUNT, cassette.GetCount());
    SetSpinRange(IDC_CASSETTE_COUNT_SPIN);

    const DispenserControl::CassetteLimit maxDispense(cassette, DispenserControl::kMaxDispenseLimit);
    Check(IDC_CASSETTE_MAX_DISPENSE_ON, maxDispense.IsEnabled());
    SetNumber(IDC_CASSETTE_MAX_DISPENSE, maxDispense.GetValue());
    SetSpinRange(IDC_CASSETTE_MAX_DISPENSE_SPIN);

    const DispenserControl::CassetteLimit minAmount(cassette, DispenserControl::kMinAmountLimit);
    Check(IDC_CASSETTE_MIN_AMOUNT_ON, minAmount.IsEnabled());
    SetNumber(IDC_CASSETTE_MIN_AMOUNT, minAmount.GetValue());
    SetSpinRange(IDC_CASSETTE_MIN_AMOUNT_SPIN);

    UpdateControls();
    return result;
}

// The usual notes, and a stored one that is not among them at the end, so that
// opening and confirming never changes the denomination. A stored 0 selects nothing.
void DispenserCassetteSetupDialog::FillDenominations(std::uint32_t stored)
{
    HWND list = GetDlgItem(Window(), IDC_CASSETTE_DENOMINATION);
    for (const std::uint32_t denomination : kDenominations)
        SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(std::to_wstring(denomination).c_str()));
    if (stored == 0)
        return;
    const auto listed = std::find(kDenominations.begin(), kDenominations.end(), stored);
    WPARAM index = static_cast<WPARAM>(listed - kDenominations.begin());
    if (listed == kDenominations.end())
        index = static_cast<WPARAM>(
            SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(std::to_wstring(stored).c_str())));
    SendMessageW(list, CB_SETCURSEL, index, 0);
}

// The selected item's text: during CBN_SELCHANGE the list's window text may still be the old one.
std::string DispenserCassetteSetupDialog::SelectedDenomination() const
{
    HWND list = GetDlgItem(Window(), IDC_CASSETTE_DENOMINATION);
    const LRESULT index = SendMessageW(list, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR)
        return {};
    const LRESULT length = SendMessageW(list, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == CB_ERR)
        return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT copied =
        SendMessageW(list, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied == CB_ERR ? 0 : static_cast<std::size_t>(copied));
    return Narrow(text);
}

void DispenserCassetteSetupDialog::UpdateControls()
{
    const bool counted = IsChecked(IDC_CASSETTE_COUNTED);
    const bool maxDispenseOn = IsChecked(IDC_CASSETTE_MAX_DISPENSE_ON);
    const bool minAmountOn = counted && IsChecked(IDC_CASSETTE_MIN_AMOUNT_ON);
    Enable(IDC_CASSETTE_COUNTED, true);
    Enable(IDC_CASSETTE_COUNT, counted);
    Enable(IDC_CASSETTE_COUNT_SPIN, counted);
    Enable(IDC_CASSETTE_MAX_DISPENSE_ON, true);
    Enable(IDC_CASSETTE_MAX_DISPENSE, maxDispenseOn);
    Enable(IDC_CASSETTE_MAX_DISPENSE_SPIN, maxDispenseOn);
    // The reserve is kept only where the count is tracked.
    Enable(IDC_CASSETTE_MIN_AMOUNT_ON, counted);
    Enable(IDC_CASSETTE_MIN_AMOUNT, minAmountOn);
    Enable(IDC_CASSETTE_MIN_AMOUNT_SPIN, minAmountOn);
    Enable(IDOK, !SelectedDenomination().empty());
}

void DispenserCassetteSetupDialog::Command(int code, int id, HWND control)
{
    switch (id) {
    case IDC_CASSETTE_COUNTED:
    case IDC_CASSETTE_MAX_DISPENSE_ON:
    case IDC_CASSETTE_MIN_AMOUNT_ON:
        UpdateControls();
        return;
    case IDC_CASSETTE_DENOMINATION:
        if (code == CBN_SELCHANGE)
            UpdateControls();
        return;
    default:
        SetupDialogBase::Command(code, id, control);
    }
}

bool DispenserCassetteSetupDialog::Collect(Values& values)
{
    if (!ReadNumber(IDC_CASSETTE_DENOMINATION, SelectedDenomination(), values.denomination))
        return false;
    values.counted = IsChecked(IDC_CASSETTE_COUNTED);
    if (values.counted && !ReadNumber(IDC_CASSETTE_COUNT, values.count))
        return false;
    values.maxDispenseOn = IsChecked(IDC_CASSETTE_MAX_DISPENSE_ON);
    if (values.maxDispenseOn && !ReadNumber(IDC_CASSETTE_MAX_DISPENSE, values.maxDispense))
        return false;
    values.minAmountOn = IsChecked(IDC_CASSETTE_MIN_AMOUNT_ON);
    if (values.counted && values.minAmountOn && !ReadNumber(IDC_CASSETTE_MIN_AMOUNT, values.minAmount))
        return false;
    return true;
}

void DispenserCassetteSetupDialog::Ok()
{
    Values values;
    if (!Collect(values))
        return;
    DispenserControl::Settings store(true);
    DispenserControl::Cassette cassette(store, number_);
    // The flags are changed bit by bit: a value that cannot be read fails here, before
    // anything is written.
    static_cast<void>(cassette.GetFlags());
    cassette.SetDenomination(values.denomination);
    cassette.SetCounted(values.counted);
    // A count entered while a pass is in doubt settles it; an unchanged one is no news.
    if (values.counted &&
        (DispenserControl::ReadPendingPass(store) || cassette.GetCount() != values.count))
        DispenserControl::EnterCassetteCount(store, number_, values.count, *DispenserLogHandler::Instance());
    DispenserControl::CassetteLimit maxDispense(cassette, DispenserControl::kMaxDispenseLimit);
    maxDispense.SetEnabled(values.maxDispenseOn);
    if (values.maxDispenseOn)
        maxDispense.SetValue(values.maxDispense);
    // Without a tracked count the stored count and reserve stay as they were.
    if (values.counted) {
        DispenserControl::CassetteLimit minAmount(cassette, DispenserControl::kMinAmountLimit);
        minAmount.SetEnabled(values.minAmountOn);
        if (values.minAmountOn)
            minAmount.SetValue(values.minAmount);
    }
    SetupDialogBase::Ok();
}

} // namespace Plugin
