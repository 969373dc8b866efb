// The five session events: the kiosk scenario writes inputs, raises an event, and
// reads the results from "Dispenser." variables.
#include "Plugin/Plugin/session_events.h"

#include "Plugin/Dispenser/scenario.h"
#include "Plugin/Plugin/amount_split.h"
#include "Plugin/Plugin/application_log.h"
#include "Plugin/Plugin/publication.h"
#include "Plugin/Plugin/readiness.h"
#include "framework/app_log.h"
#include "framework/exceptions.h"
#include "framework/messages.h"
#include "framework/text_utils.h"

#include <algorithm>

namespace Plugin {

namespace {

std::uint32_t NotNegative(std::int32_t value)
{
    return value < 0 ? 0u : static_cast<std::uint32_t>(value);
}

// "Dispenser.Dispense2" on a device without a second cassette: a count is passed on for
// the payout to refuse (paying cassette 1 alone would report success for notes the kiosk
// asked of a cassette the device does not have); a text that is no number is left alone.
std::uint32_t CountForAMissingCassette(SessionVariables& session)
{
    try {
        return NotNegative(session.GetInt("Dispenser.Dispense2"));
    } catch (const OVAppException&) {
        return 0;
    }
}

} // namespace

WindowHandle SessionEvents::MainWindow() const
{
    return context_ != nullptr ? context_->MainWindow() : GetAppMainWindow();
}

void SessionEvents::ReportFailure(bool failed)
{
    if (context_ != nullptr)
        context_->ReportFailure(failed);
}

bool SessionEvents::RefuseUnknownModel(const DispenserControl::Settings& store, std::vector<std::string>& errors)
{
    if (store.GetModel() != 0)
        return false;
    errors.push_back("Устройство не поддерживается: " + store.GetDevice());
    ReportFailure(true);
    return true;
}

void SessionEvents::PrepareSession(SessionVariables& session)
{
    if (context_ != nullptr && context_->IsFailed())
        session.SetBool("Dispenser.Failed", true);
    DispenserControl::Settings store(false);
    Publish(session, store);
}

void SessionEvents::OnSessionEvent(SessionVariables& session, const std::string& event)
{
    try {
        if (EqualsNoCase(event, "Dispenser.GetRomVersion"))
            GetRomVersion(session);
        else if (EqualsNoCase(event, "Dispenser.Purge"))
            Purge(session);
        else if (EqualsNoCase(event, "Dispenser.TestReject"))
            TestReject(session);
        else if (EqualsNoCase(event, "Dispenser.Dispense"))
            Dispense(session);
        else if (EqualsNoCase(event, "Dispenser.Calculate"))
            Calculate(session);
    } catch (const OrvaneException& error) {
        if (AppLog* log = ApplicationLog())
            log->Write(AppLog::Error, "при обработке события платёжного сеанса \"%s\" произошла ошибка: \"%s\"",
                       event.c_str(), error.Reason().c_str());
        throw;
    } catch (...) {
        if (AppLog* log = ApplicationLog())
            log->Write(AppLog::Error, "при обработке события платёжного сеанса \"%s\" произошла ошибка неизвестного типа",
                       event.c_str());
        throw;
    }
}

void SessionEvents::GetRomVersion(SessionVariables& session)
{
    DispenserControl::Settings store(false);
    ClearResult(&session);
    std::vector<std::string> errors;
    if (store.IsEnabled() && !RefuseUnknownModel(store, errors)) {
        std::string version;
        if (DispenserScenario::QueryVersion(MainWindow(), &errors, &version))
            session.SetValue("Dispenser.Result", version);
        else
            ReportFailure(true);
    }
    SetMessage(session, errors);
}

void SessionEvents::Purge(SessionVariables& session)
{
    DispenserControl::Settings store(false);
    ClearResult(&session);
    std::vector<std::string> errors;
    if (store.IsEnabled() && !RefuseUnknownModel(store, errors)) {
        const bool ok = DispenserScenario::Purge(MainWindow(), &errors);
        session.SetBool("Dispenser.Result", ok);
        ReportFailure(!ok || !IsReady(store));
    }
    SetMessage(session, errors);
}

void SessionEvents::TestReject(SessionVariables& session)
{
    DispenserControl::Settings store(false);
    ClearResult(&session);
    std::vector<std::string> errors;
    if (store.IsEnabled() && !RefuseUnknownModel(store, errors)) {
        const std::int32_t cassette = session.GetInt("Dispenser.Cassette");
        const int n = store.GetModel();
        unsigned rejected = 0;
        bool ok = false;
        const char* variable = nullptr;
        if ((cassette == 1 && n >= 1) || (cassette == 2 && n >= 2)) {
            ok = DispenserScenario::TestReject(MainWindow(), &errors, cassette, &rejected);
            variable = cassette == 1 ? "Dispenser.Rejected1" : "Dispenser.Rejected2";
        }
        Publish(session, store);
        if (variable != nullptr)
            session.SetUInt(variable, rejected);
        session.SetUInt("Dispenser.Rejected", rejected);
        if (ok) {
            session.SetUInt("Dispenser.Result", rejected);
            if (!IsReady(store))
                ReportFailure(true);
            else if (rejected != 0)
                ReportFailure(false);
        } else {
            ReportFailure(true);
        }
    }
    SetMessage(session, errors);
}

void SessionEvents::Dispense(SessionVariables& session)
{
    DispenserControl::Settings store(false);
    ClearResult(&session);
    std::vector<std::string> errors;
    if (store.IsEnabled() && !RefuseUnknownModel(store, errors)) {
        const int n = store.GetModel();
        const std::uint32_t count1 = NotNegative(session.GetInt("Dispenser.Dispense1"));
        const std::uint32_t count2 =
            n >= 2 ? NotNegative(session.GetInt("Dispenser.Dispense2")) : CountForAMissingCassette(session);
        if (n >= 1) {
            session.SetUInt("Dispenser.Dispensed1", 0);
            session.SetUInt("Dispenser.Rejected1", 0);
        }
        if (n >= 2) {
            session.SetUInt("Dispenser.Dispensed2", 0);
            session.SetUInt("Dispenser.Rejected2", 0);
        }
        session.SetUInt("Dispenser.Rejected", 0);
        // Cleared before any note moves: a failure after the payout must not leave the
        // counts for the scenario to pay a second time.
        if (n >= 1 && count1 != 0)
            session.Clear("Dispenser.Dispense1");
        if (n >= 2 && count2 != 0)
            session.Clear("Dispenser.Dispense2");
        session.SetUInt("Dispenser.Unknown1", 0);
        session.SetUInt("Dispenser.Unknown2", 0);
        // Nothing asked: no operation, and nothing learnt about the device to report.
        if (count1 == 0 && count2 == 0) {
            Publish(session, store);
            session.SetBool("Dispenser.Result", true);
            SetMessage(session, errors);
            return;
        }

        DispenserScenario::PayoutResult paid;
        const bool ok = DispenserScenario::Dispense(MainWindow(), &errors, count1, count2, paid);
        const std::uint32_t counts[2] = {count1, count2};
        for (int c = 0; c < 2; ++c) {
            if (n < c + 1)
                continue;
            const std::string suffix = c == 0 ? "1" : "2";
            if (paid.dispensed[c] != 0)
                session.SetUInt("Dispenser.Dispensed" + suffix, paid.dispensed[c]);
            if (paid.rejected[c] != 0)
                session.SetUInt("Dispenser.Rejected" + suffix, paid.rejected[c]);
        }
        // Notes that may have left: the scenario must not pay them again.
        session.SetUInt("Dispenser.Unknown1", paid.unknown[0]);
        session.SetUInt("Dispenser.Unknown2", paid.unknown[1]);
        const std::uint32_t rejected = paid.rejected[0] + paid.rejected[1];
        if (rejected != 0)
            session.SetUInt("Dispenser.Rejected", rejected);
        Publish(session, store);
        session.SetBool("Dispenser.Result", ok);
        ReportFailure(!(ok && paid.dispensed[0] == counts[0] && paid.dispensed[1] == counts[1] && IsReady(store)));
    }
    SetMessage(session, errors);
}

void SessionEvents::Calculate(SessionVariables& session)
{
    DispenserControl::Settings store(false);
    ClearResult(&session);
    const int n = store.GetModel();
    if (n >= 1)
        session.Clear("Dispenser.Dispense1");
    if (n >= 2)
        session.Clear("Dispenser.Dispense2");
    if (context_ == nullptr)
        return;
    const std::int32_t amount = session.GetWholeInt("Dispenser.Dispense");
    if (amount <= 0)
        return;
    const Split split = SplitAmount(store, static_cast<std::uint32_t>(amount), context_->IsFailed());
    if (!split.success)
        return;
    if (n >= 1)
        session.SetUInt("Dispenser.Dispense1", split.count1);
    if (n >= 2)
        session.SetUInt("Dispenser.Dispense2", split.count2);
    session.SetUInt("Dispenser.Dispense", split.rest);
    session.SetBool("Dispenser.Result", true);
}

} // namespace Plugin
