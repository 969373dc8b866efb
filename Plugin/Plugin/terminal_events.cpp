// The terminal events of the dispenser: "Poll", the counter set-up from the session,
// the device check, and the device-state notification.
#include "Plugin/Plugin/terminal_events.h"

#include "Plugin/Dispenser/counter_records.h"
#include "Plugin/Dispenser/dispenser_log.h"

#include "Plugin/Dispenser/scenario.h"
#include "Plugin/Plugin/application_log.h"
#include "Plugin/Plugin/publication.h"
#include "Plugin/Plugin/readiness.h"
#include "framework/app_log.h"
#include "framework/exceptions.h"
#include "framework/messages.h"
#include "framework/text_utils.h"

#include <optional>

namespace Plugin {

void TerminalEvents::OnTerminalEvent(DeviceStateSink& terminal, const std::string& event)
{
    try {
        if (EqualsNoCase(event, "Poll"))
            DebugMessage("Dispenser received Poll");
        else if (EqualsNoCase(event, "Dispenser.Setup"))
            Setup();
        else if (EqualsNoCase(event, "Dispenser.Check"))
            Check(terminal);
    } catch (const OrvaneException& error) {
        if (AppLog* log = ApplicationLog())
            log->Write(AppLog::Error, "при обработке события терминала \"%s\" произошла ошибка: \"%s\"", event.c_str(),
                       error.Reason().c_str());
        throw;
    } catch (...) {
        if (AppLog* log = ApplicationLog())
            log->Write(AppLog::Error, "при обработке события терминала \"%s\" произошла ошибка неизвестного типа",
                       event.c_str());
        throw;
    }
}

void TerminalEvents::OnDeviceState(const std::string& device, bool failed)
{
    if (context_ != nullptr && EqualsNoCase(device, "Dispenser"))
        context_->SetFailed(failed);
}

void TerminalEvents::Setup()
{
    if (context_ != nullptr)
        context_->WithCurrentSession([this](SessionVariables& session) { Setup(session); });
}

void TerminalEvents::Setup(SessionVariables& session)
{
    ClearResult(&session);
    try {
        DispenserControl::Settings store(true);
        if (store.IsEnabled()) {
            const int n = store.GetModel();
            // Which parts take part, and their new counts: all read before anything is written.
            struct Part {
                const char* variable;
                std::optional<std::int32_t> value;
            };
            Part parts[3] = {{"Dispenser.Cassette1.Counter", {}}, {"Dispenser.Cassette2.Counter", {}},
                             {"Dispenser.Reject", {}}};
            for (int number = 1; number <= 2; ++number) {
                if (n < number)
                    continue;
                DispenserControl::Cassette cassette(store, number);
                if (cassette.IsEnabled() && cassette.IsCounted())
                    parts[number - 1].value = session.GetInt(parts[number - 1].variable);
            }
            if (DispenserControl::Reject(store).IsCounted())
                parts[2].value = session.GetInt(parts[2].variable);
            for (const Part& part : parts) {
                if (part.value && *part.value < 0)
                    throw OVAppException("Неверный формат числа: " + std::string(part.variable) + "=" +
                                         session.GetValue(part.variable));
            }

            bool ok = true;
            for (int index = 0; index < 3; ++index) {
                if (!parts[index].value)
                    continue;
                const auto value = static_cast<std::uint32_t>(*parts[index].value);
                std::uint32_t stored = 0;
                // One read-modify-write with its record, as every counter change; while
                // a pass is in doubt the count settles it.
                DispenserLogHandler& logs = *DispenserLogHandler::Instance();
                if (index < 2) {
                    DispenserControl::EnterCassetteCount(store, index + 1, value, logs);
                    stored = DispenserControl::Cassette(store, index + 1).GetCount();
                } else {
                    DispenserControl::EnterRejectCount(store, value, logs);
                    stored = DispenserControl::Reject(store).GetCount();
                }
                if (stored != value) {
                    session.SetUInt(parts[index].variable, stored);
                    ok = false;
                }
            }
            session.SetBool("Dispenser.Result", ok);
        }
    } catch (const OrvaneException& error) {
        session.SetValue("Dispenser.Message", error.Reason());
    }

    DispenserControl::Settings store(false);
    const bool enabled = store.IsEnabled();
    const int n = enabled ? store.GetModel() : 0;
    for (int number = 1; number <= 2; ++number) {
        const std::string variable = number == 1 ? "Dispenser.Cassette1.Counter" : "Dispenser.Cassette2.Counter";
        DispenserControl::Cassette cassette(store, number);
        if (n >= number && cassette.IsEnabled() && cassette.IsCounted())
            session.SetUInt(variable, cassette.GetCount());
        else
            session.Clear(variable);
    }
    DispenserControl::Reject reject(store);
    if (enabled && reject.IsCounted())
        session.SetUInt("Dispenser.Reject", reject.GetCount());
    else
        session.Clear("Dispenser.Reject");
}

void TerminalEvents::Check(DeviceStateSink& terminal)
{
    DispenserControl::Settings store(false);
    if (!store.IsEnabled())
        return;
    bool failed = context_ != nullptr && context_->IsFailed();
    if (!failed && !IsReady(store))
        failed = true;
    if (!failed) {
        DispenserStatusInfo status;
        const WindowHandle parent = context_ != nullptr ? context_->MainWindow() : GetAppMainWindow();
        failed = !DispenserScenario::QueryStatus(parent, nullptr, &status) || status.flags != 0;
    }
    if (failed)
        terminal.SetDeviceFailed("Dispenser", true);
}

} // namespace Plugin
