// The payout: its limits, then passes of at most "MaxDispense" notes per cassette, each
// booked into the counters and the operations log before the next one. Counts are
// money: every count here saturates instead of wrapping.
#include "Plugin/Dispenser/device_result.h"
#include "Plugin/Dispenser/dispenser_log.h"
#include "Plugin/Dispenser/dispenser_requests.h"
#include "Plugin/Dispenser/payout_rules.h"
#include "Plugin/Dispenser/saturating.h"
#include "Plugin/Dispenser/scenario_thread.h"
#include "framework/exceptions.h"
#include "framework/messages.h"
#include "framework/scope_exit.h"
#include "framework/text_format.h"

#include <algorithm>

namespace DispenserScenario {

// Per cassette (index 0: #1 upper, 1: #2 lower).
struct ScenarioThread::PayoutTotals {
    std::uint32_t requested[2] = {0, 0};
    std::uint32_t dispensed[2] = {0, 0};
    std::uint32_t rejected[2] = {0, 0};
    std::uint32_t unknown[2] = {0, 0}; // notes of a pass in doubt

    std::uint32_t Owed(int c) const { return SaturatingSubtract(requested[c], dispensed[c]); }
    // Notes owed that surely did not leave: the owed ones less those in doubt.
    std::uint32_t Undelivered(int c) const { return SaturatingSubtract(Owed(c), unknown[c]); }
    bool Owing() const { return Owed(0) > 0 || Owed(1) > 0; }
};

namespace {

// The refusals of one cassette before any note moves.
void CheckCassette(DispenserControl::Settings& settings, int number, std::uint32_t requested)
{
    DispenserControl::Cassette cassette(settings, number);
    if (!PayoutRules::CassetteInUse(cassette))
        throw OVAppException(FormatBuffer(512, "Запрещено использование кассеты #%d", number));
    if (!PayoutRules::MaxDispenseAllows(cassette, requested))
        throw OVAppException(FormatBuffer(
            512, "Нарушен предел максимальной выдачи купюр (кассета #%d, запрошено %u шт., разрешено максимум %u шт.)",
            number, requested,
            DispenserControl::CassetteLimit(cassette, DispenserControl::kMaxDispenseLimit).GetValue()));
    if (!PayoutRules::ReserveAllows(cassette, PayoutRules::kPayoutTakes))
        throw OVAppException(FormatBuffer(512,
                                          "По данным системного реестра в кассете диспенсера слишком мало купюр "
                                          "(кассета #%d, предполагается в наличии %u шт., минимальное ограничение: "
                                          "%u шт.)",
                                          number, cassette.GetCount(),
                                          DispenserControl::CassetteLimit(cassette, DispenserControl::kMinAmountLimit)
                                              .GetValue()));
}

} // namespace

void ScenarioThread::CheckPayoutLimits(DispenserControl::Settings& settings, const PayoutTotals& totals)
{
    CheckEnabled(settings);
    RefuseWhilePassInDoubt();
    if (totals.requested[0] > 0)
        CheckCassette(settings, 1, totals.requested[0]);
    if (totals.requested[1] > 0) {
        if (!PayoutRules::ModelHasCassette(settings, 2))
            throw OVAppException("Устройство не поддерживает кассету #2");
        CheckCassette(settings, 2, totals.requested[1]);
    }
    if (const std::optional<std::uint32_t> cap = PayoutRules::AmountCap(settings)) {
        const std::uint32_t denomination[2] = {DispenserControl::Cassette(settings, 1).GetDenomination(),
                                               DispenserControl::Cassette(settings, 2).GetDenomination()};
        for (int c = 0; c < 2; ++c) {
            if (!PayoutRules::CanBeValued(denomination[c], totals.requested[c]))
                throw OVAppException(FormatBuffer(
                    512, "Не задан номинал купюр кассеты #%d: предел максимальной выдачи не может быть проверен",
                    c + 1));
        }
        const std::uint64_t amount =
            PayoutRules::PayoutAmount(denomination[0], totals.requested[0], denomination[1], totals.requested[1]);
        if (!PayoutRules::WithinAmountLimit(amount, *cap))
            throw OVAppException(FormatBuffer(512,
                                              "Нарушен предел максимальной выдачи (запрошена выдача на сумму "
                                              "%llu руб., разрешено максимум %u руб.)",
                                              static_cast<unsigned long long>(amount), *cap));
    }
    if (!PayoutRules::RejectBinAllows(settings, PayoutRules::kPayoutRejects)) {
        DispenserControl::Reject reject(settings);
        throw OVAppException(FormatBuffer(512,
                                          "По данным системного реестра в контейнере \"Reject\" слишком "
                                          "много купюр (предполагается в контейнере %u шт., "
                                          "максимальное ограничение: %u шт.)",
                                          reject.GetCount(), DispenserControl::RejectLimit(settings, reject).GetValue()));
    }
}

PassOutcome ScenarioThread::DevicePass(DispenserPort& port, const std::uint32_t (&chunk)[2])
{
    DispenserQuery_Dispense query(port, chunk[0], chunk[1]);
    try {
        PassOutcome pass;
        pass.asked[0] = chunk[0];
        pass.asked[1] = chunk[1];
        ExecuteQuery(query, false);
        for (int c = 0; c < 2; ++c) {
            const DispenserQuery_Dispense::CassetteResult result = query.Cassette(c + 1);
            pass.checked[c] = result.checked;
            pass.out[c] = result.exited;
            pass.rejected[c] = result.rejected;
        }
        pass.code = query.ErrorCode();
        const int empty = BillEndCassette(pass.code);
        if (empty != 0)
            pass.billEnd[empty - 1] = true;
        return pass;
    } catch (...) {
        RethrowForCommand(query, chunk);
    }
}

std::optional<PassOutcome> ScenarioThread::DebugPass(DispenserControl::Settings& settings,
                                                     const PayoutTotals& totals)
{
    Say(AppLog::Info, "%s: отладочный режим", name_.c_str());
    const int c = totals.Owed(0) > 0 ? 0 : 1;
    const std::string text = FormatText("Выдача купюры %u руб. (из кассеты #%d).",
                                        DispenserControl::Cassette(settings, c + 1).GetDenomination(), c + 1);
    Say(AppLog::Info, "%s: %s", name_.c_str(), text.c_str());
    // Cancel here counts a rejected note: without an operator the answer is No, and
    // any answer but Yes or Cancel stops as No does.
    const int answer = Ask(text + "\r\nРезультат считаем успешным?\r\n(Отмена - Reject)", 35, ButtonNo);
    if (answer != ButtonYes && answer != ButtonCancel) {
        request_.AddError("Выдача купюр прервана пользователем (отладочный режим)");
        return std::nullopt;
    }
    PassOutcome pass;
    pass.asked[c] = 1;
    if (answer == ButtonYes)
        pass.out[c] = 1;
    else
        pass.rejected[c] = 1;
    pass.code = Code(DeviceResult::Good);
    return pass;
}

void ScenarioThread::TracePass(const std::uint32_t (&chunk)[2], const PassOutcome& pass)
{
    for (int c = 0; c < 2; ++c) {
        if (chunk[c] > 0)
            Say(AppLog::Info, "%s: выдача купюр (кассета #%d), %i шт.: выдано %u шт., забраковано %u шт.",
                name_.c_str(), c + 1, static_cast<int>(chunk[c]), pass.out[c], pass.rejected[c]);
    }
    // A device error does not end the payout: the next pass may still pay.
    if (!IsSuccess(pass.code)) {
        const std::string text = DeviceErrorText(pass.code);
        Record(EventError, "ERROR", pass.code, text);
        request_.AddError(text);
    }
}

void ScenarioThread::AddToTotals(PayoutTotals& totals, const PassOutcome& pass)
{
    for (int c = 0; c < 2; ++c) {
        totals.dispensed[c] = SaturatingAdd(totals.dispensed[c], pass.out[c]);
        totals.rejected[c] = SaturatingAdd(totals.rejected[c], pass.rejected[c]);
    }
}

bool ScenarioThread::StopOnEmptyCassettes(const PayoutTotals& totals, const PassOutcome& pass)
{
    bool aborted[2] = {false, false};
    for (int c = 0; c < 2; ++c) {
        if (totals.Owed(c) == 0 || pass.out[c] != 0)
            continue;
        Say(AppLog::Warning, "%s: выдача купюр из кассеты #%d прервана (вероятно, нет купюр)", name_.c_str(), c + 1);
        const std::string text = FormatBuffer(256,
                                              c == 0 ? "Кассета #1: выдача купюр прервана, не выдано купюр: %u шт."
                                                     : "кассета #2: выдача купюр прервана, не выдано купюр: %u шт.",
                                              totals.Owed(c));
        Record(EventAbort, "ABORT", totals.Owed(c), text);
        request_.AddError(text);
        aborted[c] = true;
    }
    // A cassette that gave nothing while the other still gives is asked again next pass.
    const bool done0 = aborted[0] || totals.Owed(0) == 0;
    const bool done1 = aborted[1] || totals.Owed(1) == 0;
    return done0 && done1 && (aborted[0] || aborted[1]);
}

void ScenarioThread::ReportPayoutFailure(const PayoutTotals& totals, const std::string& reason)
{
    request_.AddError(reason);
    Say(AppLog::Error, "%s: выдача купюр прервана с результатом: \"%s\"", name_.c_str(), reason.c_str());
    for (int c = 0; c < 2; ++c) {
        if (totals.requested[c] > 0)
            Say(AppLog::Error, "%s: до ошибки успешно выдано купюр из кассеты #%d: %u шт, не выдано купюр: %u шт.",
                name_.c_str(), c + 1, totals.dispensed[c], totals.Undelivered(c));
    }
    // Notes in doubt are no notes "not paid": their UNKNOWN records stand for them.
    for (int c = 0; c < 2; ++c) {
        if (totals.Undelivered(c) > 0)
            Record(EventFailure, "FAILURE", totals.Undelivered(c),
                   FormatBuffer(4096, "ошибка: \"%s\"; не выдано купюр из кассеты #%d: %u шт.", reason.c_str(), c + 1,
                                totals.Undelivered(c)));
    }
}

void ScenarioThread::FinishPayout(const PayoutTotals& totals)
{
    for (int c = 0; c < 2; ++c) {
        if (totals.dispensed[c] > 0)
            Record(EventDispensed, "DISPENSED", totals.dispensed[c],
                   FormatText("выдано купюр из кассеты #%d: %u шт.", c + 1, totals.dispensed[c]));
    }
    const RequestOutput& output = request_.Output();
    const std::uint32_t values[6] = {totals.dispensed[0], totals.dispensed[1], totals.rejected[0],
                                     totals.rejected[1],  totals.unknown[0],   totals.unknown[1]};
    unsigned* const targets[6] = {output.dispensed1, output.dispensed2, output.rejected1,
                                  output.rejected2,  output.unknown1,   output.unknown2};
    for (int i = 0; i < 6; ++i) {
        if (targets[i] != nullptr)
            *targets[i] = values[i];
    }
}

bool ScenarioThread::DoDispense()
{
    PayoutTotals totals;
    totals.requested[0] = request_.Input().count1;
    totals.requested[1] = request_.Input().count2;
    // Also when an exception of another kind passes through.
    const ScopeExit finish([&] { FinishPayout(totals); });

    try {
        DispenserControl::Settings settings(false, request_.Override());
        debug_ = settings.IsDebug();
        CheckPayoutLimits(settings, totals);
        CheckCounterStore(totals.requested[0] > 0, totals.requested[1] > 0);

        DispenserPort port(&request_.TraceLog(), request_.Errors(), &settings);
        while (totals.Owing()) {
            const std::uint32_t stored = OperationValue("MaxDispense", PayoutRules::kMaxNotesPerPass);
            const PayoutRules::PassSize size = PayoutRules::NotesPerPass(stored);
            if (size.clamped)
                Say(AppLog::Warning, "%s: значение MaxDispense (%u) вне пределов 1..%u, используется %u",
                    name_.c_str(), stored, PayoutRules::kMaxNotesPerPass, size.notes);
            const std::uint32_t chunk[2] = {std::min(size.notes, totals.Owed(0)),
                                            std::min(size.notes, totals.Owed(1))};

            PassOutcome pass;
            if (debug_) {
                // The operator answers: no note moves, nothing to write ahead.
                const std::optional<PassOutcome> answer = DebugPass(settings, totals);
                if (!answer)
                    break;
                pass = *answer;
                TracePass(chunk, pass);
                BookPass(pass, PassKind::Payout);
            } else {
                pass = MoveNotes(PassKind::Payout, chunk, [&] { return DevicePass(port, chunk); },
                                 [&](const PassOutcome& answer) { TracePass(chunk, answer); });
            }
            AddToTotals(totals, pass);
            const bool cassettesEmpty = !debug_ && StopOnEmptyCassettes(totals, pass);
            // A cancel during this pass, also the last one: its notes are counted, no
            // further pass runs, and the payout fails with its FAILURE records.
            StopIfCancelled();
            if (cassettesEmpty)
                break;
        }

        for (int c = 0; c < 2; ++c) {
            if (totals.dispensed[c] > 0)
                Say(AppLog::Positive, "%s: выдано купюр из кассеты #%d: %u шт.", name_.c_str(), c + 1,
                    totals.dispensed[c]);
        }
        request_.SetResult(true);
    } catch (const PassInDoubt& doubt) {
        for (int c = 0; c < 2; ++c)
            totals.unknown[c] = doubt.Asked(c);
        ReportPayoutFailure(totals, ReportPassInDoubt(doubt));
    } catch (const OrvaneException& error) {
        ReportPayoutFailure(totals, error.Reason());
    }
    return request_.Result();
}

} // namespace DispenserScenario
