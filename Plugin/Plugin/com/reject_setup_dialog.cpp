#include "Plugin/Plugin/com/reject_setup_dialog.h"

#include "Plugin/Dispenser/counter_records.h"
#include "Plugin/Dispenser/dispenser_log.h"
#include "Plugin/Dispenser/pending_pass.h"
#include "Plugin/Dispenser/settings.h"
#include "resources/setup_dialog_ids.h"

#include <cstdint>

namespace Plugin {

namespace {

constexpr HelpTopic kHelp[] = {
    {IDC_REJECT_COUNT_LABEL, 1}, {IDC_REJECT_COUNT, 1}, {IDC_REJECT_COUNT_SPIN, 1}, {IDC_REJECT_RESET, 2},
    {IDC_REJECT_LIMIT_ON, 4},    {IDC_REJECT_LIMIT, 3}, {IDC_REJECT_LIMIT_SPIN, 3},
};

} // namespace

DispenserRejectSetupDialog::DispenserRejectSetupDialog() : SetupDialogBase(L"DispenserRejectSetupDialog", kHelp) {}

BOOL DispenserRejectSetupDialog::InitDialog(HWND window)
{
    const BOOL result = SetupDialogBase::InitDialog(window);
    TakeOwnerIcon();

    DispenserControl::Settings store(false);
    DispenserControl::Reject reject(store);
    const DispenserControl::RejectLimit limit(store, reject);
    SetNumber(IDC_REJECT_COUNT, reject.GetCount());
    SetSpinRange(IDC_REJECT_COUNT_SPIN);
    Check(IDC_REJECT_LIMIT_ON, limit.IsEnabled());
    SetNumber(IDC_REJECT_LIMIT, limit.GetValue());
    SetSpinRange(IDC_REJECT_LIMIT_SPIN);

    UpdateControls();
    return result;
}

void DispenserRejectSetupDialog::UpdateControls()
{
    const bool limitOn = IsChecked(IDC_REJECT_LIMIT_ON);
    Enable(IDC_REJECT_LIMIT, limitOn);
    Enable(IDC_REJECT_LIMIT_SPIN, limitOn);
}

void DispenserRejectSetupDialog::Command(int code, int id, HWND control)
{
    switch (id) {
    case IDC_REJECT_LIMIT_ON:
        UpdateControls();
        return;
    case IDC_REJECT_RESET:
        // Only the field: the stored count changes with Ok.
        SetText(IDC_REJECT_COUNT, "0");
        return;
    default:
        SetupDialogBase::Command(code, id, control);
    }
}

void DispenserRejectSetupDialog::Ok()
{
    std::uint32_t count = 0;
    if (!ReadNumber(IDC_REJECT_COUNT, count))
        return;
    const bool limitOn = IsChecked(IDC_REJECT_LIMIT_ON);
    std::uint32_t limitValue = 0;
    if (limitOn && !ReadNumber(IDC_REJECT_LIMIT, limitValue))
        return;

    DispenserControl::Settings store(true);
    DispenserControl::Reject reject(store);
    DispenserControl::RejectLimit limit(store, reject);
    // The flags are changed bit by bit: a value that cannot be read fails here, before
    // the count is written.
    static_cast<void>(reject.GetFlags());
    if (DispenserControl::ReadPendingPass(store) || reject.GetCount() != count)
        DispenserControl::EnterRejectCount(store, count, *DispenserLogHandler::Instance());
    limit.SetEnabled(limitOn);
    if (limitOn)
        limit.SetValue(limitValue);
    SetupDialogBase::Ok();
}

} // namespace Plugin
