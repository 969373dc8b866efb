// One pass of notes and its write-ahead: every note that may leave a cassette is
// either booked from the device's answer or left in doubt under a durable marker,
// never lost.
#include "Plugin/Dispenser/dispenser_log.h"
#include "Plugin/Dispenser/dispenser_query.h"
#include "Plugin/Dispenser/pending_pass.h"
#include "Plugin/Dispenser/scenario_thread.h"
#include "framework/app_log.h"
#include "framework/text_format.h"

#include <mutex>

namespace DispenserScenario {

namespace {

// Held while a pass of this process is between its write-ahead and its booking: a
// second pass must neither take that marker for a pass in doubt nor overwrite it.
std::mutex g_passInFlight;

const char* const kBusyText = "Диспенсер занят: выполняется другая операция выдачи купюр";

const char* OperationWord(PassKind kind)
{
    return kind == PassKind::TestReject ? "TestReject" : "Dispense";
}

} // namespace

void ScenarioThread::Record(unsigned code, const char* word, unsigned value, const std::string& comment)
{
    // A program reading the journal tells the operator's answers from the device's.
    request_.Logs().WriteRecord(code, word, value, debug_ ? comment + " (отладочный режим)" : comment);
}

void ScenarioThread::RefuseWhilePassInDoubt()
{
    const DispenserControl::Settings store(false, request_.Override());
    if (const std::optional<DispenserControl::PendingPass> pass = DispenserControl::ReadPendingPass(store)) {
        std::unique_lock inFlight(g_passInFlight, std::try_to_lock);
        if (!inFlight.owns_lock())
            throw OVAppException(kBusyText);
        throw OVAppException(DispenserControl::PendingPassRefusal(*pass));
    }
}

void ScenarioThread::WriteAhead(PassKind kind, const std::uint32_t (&asked)[2])
{
    DispenserControl::PendingPass marker;
    marker.operation = OperationWord(kind);
    marker.asked[0] = asked[0];
    marker.asked[1] = asked[1];
    DispenserControl::Settings store(true, request_.Override());
    bool written = false;
    try {
        written = DispenserControl::WritePendingPass(store, marker);
    } catch (const OrvaneException& error) {
        throw OVAppException("Не удалось записать отметку о выдаче в системный реестр, выдача не выполнялась: " +
                             error.Reason());
    }
    // Another process's pass began since this one looked: its marker stays its own.
    if (!written)
        throw OVAppException(kBusyText);
    for (int c = 0; c < 2; ++c) {
        if (asked[c] == 0)
            continue;
        std::string error;
        const std::string comment =
            FormatText("кассета #%d: отправляется команда на выдачу %u шт.", c + 1, asked[c]);
        if (!request_.Logs().WriteRecordDurably(EventPending, "PENDING", asked[c], comment, error)) {
            // Nothing was sent: the marker goes again.
            try {
                DispenserControl::RemovePendingPass(store);
            } catch (const OrvaneException&) {
            }
            throw OVAppException("Не удалось записать журнал операций, выдача не выполнялась: " + error);
        }
    }
}

void ScenarioThread::RethrowForCommand(const DispenserQuery& query, const std::uint32_t (&asked)[2])
{
    try {
        throw;
    } catch (const PassInDoubt&) {
        throw;
    } catch (const OrvaneException& error) {
        if (query.CommandMayHaveRun())
            throw PassInDoubt(asked, error.Reason());
        throw;
    } catch (...) {
        if (query.CommandMayHaveRun())
            throw PassInDoubt(asked, "неизвестная ошибка");
        throw;
    }
}

void ScenarioThread::CheckAnswer(const PassOutcome& pass)
{
    for (int c = 0; c < 2; ++c) {
        if (pass.out[c] > pass.asked[c])
            throw PassInDoubt(pass.asked, FormatText("устройство сообщило о выдаче из кассеты #%d %u шт. при "
                                                     "запрошенных %u шт.",
                                                     c + 1, pass.out[c], pass.asked[c]));
        if (pass.asked[c] == 0 && (pass.checked[c] != 0 || pass.rejected[c] != 0 || pass.billEnd[c]))
            throw PassInDoubt(pass.asked,
                              FormatText("устройство сообщило о купюрах кассеты #%d, выдача из которой не "
                                         "запрашивалась",
                                         c + 1));
    }
}

PassOutcome ScenarioThread::MoveNotes(PassKind kind, const std::uint32_t (&asked)[2],
                                      const std::function<PassOutcome()>& command,
                                      const std::function<void(const PassOutcome&)>& answered)
{
    std::unique_lock inFlight(g_passInFlight, std::try_to_lock);
    if (!inFlight.owns_lock())
        throw OVAppException(kBusyText);
    WriteAhead(kind, asked);
    PassOutcome pass;
    try {
        pass = command();
    } catch (const PassInDoubt&) {
        throw;
    } catch (...) {
        // The device did not take the command: nothing moved, the marker goes.
        DispenserControl::Settings store(true, request_.Override());
        DispenserControl::RemovePendingPass(store);
        throw;
    }
    try {
        CheckAnswer(pass);
        if (answered)
            answered(pass);
        BookPass(pass, kind);
        DispenserControl::Settings store(true, request_.Override());
        DispenserControl::RemovePendingPass(store);
    } catch (const PassInDoubt&) {
        throw;
    } catch (const OrvaneException& error) {
        throw PassInDoubt(asked, error.Reason());
    } catch (...) {
        throw PassInDoubt(asked, "неизвестная ошибка");
    }
    return pass;
}

std::string ScenarioThread::ReportPassInDoubt(const PassInDoubt& doubt)
{
    Say(AppLog::Error, "%s: результат команды неизвестен: %s", name_.c_str(), doubt.Reason().c_str());
    std::string counts;
    for (int c = 0; c < 2; ++c) {
        if (doubt.Asked(c) == 0)
            continue;
        Record(EventUnknown, "UNKNOWN", doubt.Asked(c),
               FormatText("кассета #%d: результат выдачи неизвестен, купюры могли быть выданы: %u шт.; ошибка: \"%s\"",
                          c + 1, doubt.Asked(c), doubt.Reason().c_str()));
        counts += FormatText("%sкассета #%d: %u шт.", counts.empty() ? "" : ", ", c + 1, doubt.Asked(c));
    }
    return FormatText("Результат выдачи неизвестен, купюры могли быть выданы (%s): требуется сверка", counts.c_str());
}

} // namespace DispenserScenario
