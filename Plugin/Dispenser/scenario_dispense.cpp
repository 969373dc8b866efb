// The payout: checks against every configured limit, passes of at most
// "MaxDispense" notes per cassette, the cassette and reject-bin counters after every
// pass, and the operations-log records. Counts are money: every count here
// saturates instead of wrapping, and every counter change is one read-modify-write.
#include "Plugin/Dispenser/dispenser_log.h"
#include "Plugin/Dispenser/dispenser_requests.h"
#include "Plugin/Dispenser/saturating.h"
#include "Plugin/Dispenser/scenario_thread.h"
#include "framework/exceptions.h"
#include "framework/messages.h"
#include "framework/text_format.h"
#include "framework/text_utils.h"

#include <algorithm>

namespace DispenserScenario {

namespace {

constexpr std::uint32_t kMaxNotesPerCommand = 60;


// Per cassette (index 0: #1 upper, 1: #2 lower).
struct Totals {
    std::uint32_t requested[2] = {0, 0};
    std::uint32_t dispensed[2] = {0, 0};
    std::uint32_t rejected[2] = {0, 0};

    std::uint32_t Owed(int c) const { return SaturatingSubtract(requested[c], dispensed[c]); }
};

// The refusals of one cassette before any note moves.
void CheckCassette(DispenserControl::Settings& settings, int number, std::uint32_t requested)
{
    DispenserControl::Cassette cassette(settings, number);
    if (!cassette.IsEnabled())
        throw OVAppException(FormatBuffer(512, "Запрещено использование кассеты #%d", number));
    const DispenserControl::CassetteLimit maxDispense(cassette, DispenserControl::kMaxDispenseLimit);
    if (maxDispense.IsEnabled() && maxDispense.GetValue() < requested)
        throw OVAppException(FormatBuffer(
            512, "Нарушен предел максимальной выдачи купюр (кассета #%d, запрошено %u шт., разрешено максимум %u шт.)",
            number, requested, maxDispense.GetValue()));
    const DispenserControl::CassetteLimit minAmount(cassette, DispenserControl::kMinAmountLimit);
    const std::uint32_t count = cassette.GetCount();
    // The cassette must hold more than its reserve, whatever the request.
    if (cassette.IsCounted() && minAmount.IsEnabled() && minAmount.GetValue() >= count)
        throw OVAppException(FormatBuffer(512,
                                          "По данным системного реестра в кассете диспенсера слишком мало купюр "
                                          "(кассета #%d, предполагается в наличии %u шт., минимальное ограничение: "
                                          "%u шт.)",
                                          number, count, minAmount.GetValue()));
}

} // namespace

bool ScenarioThread::DoDispense()
{
    DispenserLogHandler& logs = request_.Logs();
    Totals totals;
    totals.requested[0] = request_.Input().count1;
    totals.requested[1] = request_.Input().count2;

    // Written on every way out, also when an exception of another kind passes through.
    const auto finish = [&] {
        for (int c = 0; c < 2; ++c) {
            if (totals.dispensed[c] > 0)
                logs.WriteRecord(EventDispensed, "DISPENSED", totals.dispensed[c],
                                 FormatText("выдано купюр из кассеты #%d: %u шт.", c + 1, totals.dispensed[c]));
        }
        const RequestOutput& output = request_.Output();
        const std::uint32_t values[4] = {totals.dispensed[0], totals.dispensed[1], totals.rejected[0],
                                         totals.rejected[1]};
        unsigned* const targets[4] = {output.dispensed1, output.dispensed2, output.rejected1, output.rejected2};
        for (int i = 0; i < 4; ++i) {
            if (targets[i] != nullptr)
                *targets[i] = values[i];
        }
    };

    try {
        try {
            DispenserControl::Settings settings(false, request_.Override());
            CheckEnabled(settings);
            if (totals.requested[0] > 0)
                CheckCassette(settings, 1, totals.requested[0]);
            if (totals.requested[1] > 0) {
                if (!EqualsNoCase(settings.GetDevice(), "LCDM-2000"))
                    throw OVAppException("Устройство не поддерживает кассету #2");
                CheckCassette(settings, 2, totals.requested[1]);
            }
            const DispenserControl::AmountLimit amountLimit(settings);
            if (amountLimit.IsEnabled()) {
                // In 64 bits: no request can wrap past the limit.
                const std::uint64_t amount =
                    static_cast<std::uint64_t>(DispenserControl::Cassette(settings, 1).GetDenomination()) *
                        totals.requested[0] +
                    static_cast<std::uint64_t>(DispenserControl::Cassette(settings, 2).GetDenomination()) *
                        totals.requested[1];
                if (amountLimit.GetValue() < amount)
                    throw OVAppException(FormatBuffer(512,
                                                      "Нарушен предел максимальной выдачи (запрошена выдача на сумму "
                                                      "%llu руб., разрешено максимум %u руб.)",
                                                      static_cast<unsigned long long>(amount),
                                                      amountLimit.GetValue()));
            }
            {
                DispenserControl::Reject reject(settings);
                const DispenserControl::RejectLimit rejectLimit(settings, reject);
                if (reject.IsCounted() && rejectLimit.IsEnabled() && reject.GetCount() > rejectLimit.GetValue())
                    throw OVAppException(FormatBuffer(512,
                                                      "По данным системного реестра в контейнере \"Reject\" слишком "
                                                      "много купюр (предполагается в контейнере %u шт., "
                                                      "максимальное ограничение: %u шт.)",
                                                      reject.GetCount(), rejectLimit.GetValue()));
            }

            CheckCounterStore(totals.requested[0] > 0, totals.requested[1] > 0);

            DispenserPort port(&request_.TraceLog(), request_.Errors(), &settings);
            const bool debug = settings.IsDebug();
            while (totals.Owed(0) > 0 || totals.Owed(1) > 0) {
                bool aborted[2] = {false, false};
                std::uint32_t maxDispense = OperationValue("MaxDispense", kMaxNotesPerCommand);
                if (maxDispense < 1 || maxDispense > kMaxNotesPerCommand) {
                    const std::uint32_t clamped = std::clamp<std::uint32_t>(maxDispense, 1, kMaxNotesPerCommand);
                    Say(AppLog::Warning, "%s: значение MaxDispense (%u) вне пределов 1..%u, используется %u",
                        name_.c_str(), maxDispense, kMaxNotesPerCommand, clamped);
                    maxDispense = clamped;
                }
                const std::uint32_t chunk[2] = {std::min(maxDispense, totals.Owed(0)),
                                                std::min(maxDispense, totals.Owed(1))};
                std::uint32_t d[2] = {0, 0};
                std::uint32_t r[2] = {0, 0};
                std::uint8_t errorCode = 0;

                if (!debug) {
                    DispenserQuery_Dispense query(port, chunk[0], chunk[1]);
                    ExecuteQuery(query, false);
                    for (int c = 0; c < 2; ++c) {
                        const auto result = query.Cassette(c + 1);
                        d[c] = result.exited;
                        r[c] = result.rejected;
                    }
                    errorCode = query.ErrorCode();
                } else {
                    Say(AppLog::Info, "%s: отладочный режим", name_.c_str());
                    const int c = totals.Owed(0) > 0 ? 0 : 1;
                    const std::string text = FormatText("Выдача купюры %u руб. (из кассеты #%d).",
                                                        DispenserControl::Cassette(settings, c + 1).GetDenomination(),
                                                        c + 1);
                    Say(AppLog::Info, "%s: %s", name_.c_str(), text.c_str());
                    // Cancel here counts a rejected note: without an operator the
                    // answer is No, and any answer but Yes or Cancel stops as No does.
                    const int answer =
                        Ask(text + "\r\nРезультат считаем успешным?\r\n(Отмена - Reject)", 35, ButtonNo);
                    if (answer != ButtonYes && answer != ButtonCancel) {
                        request_.AddError("Выдача купюр прервана пользователем (отладочный режим)");
                        break;
                    }
                    if (answer == ButtonYes)
                        d[c] = 1;
                    else
                        r[c] = 1;
                    errorCode = 0x30;
                }

                for (int c = 0; c < 2; ++c) {
                    if (chunk[c] > 0)
                        Say(AppLog::Info, "%s: выдача купюр (кассета #%d), %i шт.: выдано %u шт., забраковано %u шт.",
                            name_.c_str(), c + 1, static_cast<int>(chunk[c]), d[c], r[c]);
                    totals.dispensed[c] = SaturatingAdd(totals.dispensed[c], d[c]);
                    totals.rejected[c] = SaturatingAdd(totals.rejected[c], r[c]);
                }

                if (errorCode != 0x30 && errorCode != 0x31) {
                    const std::string text = FormatBuffer(256, "Ошибка устройства, код %u (%02XH).",
                                                          static_cast<unsigned>(errorCode),
                                                          static_cast<unsigned>(errorCode));
                    logs.WriteRecord(EventError, "ERROR", errorCode, text);
                    request_.AddError(text);
                }

                if (r[0] != 0 || r[1] != 0) {
                    const std::uint32_t factor = OperationValue("RejectFactor", 1);
                    r[0] = SaturatingMultiply(r[0], factor);
                    r[1] = SaturatingMultiply(r[1], factor);
                }

                bool reset[2] = {false, false};
                if ((errorCode == 0x38 || errorCode == 0x40) && OperationValue("Reset on Bill-End", 1) != 0) {
                    const int number = errorCode == 0x38 ? 1 : 2;
                    DispenserControl::Settings writable(true, request_.Override());
                    DispenserControl::Cassette cassette(writable, number);
                    if (cassette.IsCounted()) {
                        const std::string text = FormatText(
                            "Диспенсер показал отсутствие купюр в кассете %i, сбрасываем программный счётчик купюр",
                            number);
                        Say(AppLog::Warning, "%s: %s", name_.c_str(), text.c_str());
                        request_.AddError(text);
                        const std::uint32_t count = cassette.UpdateCount([](auto) { return 0u; });
                        logs.WriteRecord(
                            EventCount, "COUNT", count,
                            FormatText("предполагаемое количество купюр в кассете #%i диспенсера: %u шт.", number,
                                       count));
                        reset[number - 1] = true;
                    }
                }

                const std::uint32_t rejectedNow = SaturatingAdd(r[0], r[1]);
                if (rejectedNow > 0) {
                    DispenserControl::Settings writable(true, request_.Override());
                    DispenserControl::Reject reject(writable);
                    if (reject.IsCounted())
                        reject.UpdateCount([rejectedNow](std::optional<std::uint32_t> count) {
                            return SaturatingAdd(count.value_or(0), rejectedNow);
                        });
                    logs.WriteRecord(EventReject, "REJECT", rejectedNow,
                                     FormatText("диспенсер забраковал купюр: %u шт.", rejectedNow));
                }

                for (int c = 0; c < 2; ++c) {
                    if ((d[c] == 0 && r[c] == 0) || reset[c])
                        continue;
                    DispenserControl::Settings writable(true, request_.Override());
                    DispenserControl::Cassette cassette(writable, c + 1);
                    if (!cassette.IsCounted())
                        continue;
                    const std::uint32_t used = SaturatingAdd(d[c], r[c]);
                    const std::uint32_t count = cassette.UpdateCount([used](std::optional<std::uint32_t> current) {
                        return SaturatingSubtract(current.value_or(0), used);
                    });
                    logs.WriteRecord(EventCount, "COUNT", count,
                                     FormatText("предполагаемое количество купюр в кассете #%d: %u шт.", c + 1, count));
                }

                if (!debug) {
                    for (int c = 0; c < 2; ++c) {
                        if (totals.Owed(c) == 0 || d[c] != 0)
                            continue;
                        Say(AppLog::Warning, "%s: выдача купюр из кассеты #%d прервана (вероятно, нет купюр)",
                            name_.c_str(), c + 1);
                        const std::string text = FormatBuffer(
                            256, c == 0 ? "Кассета #1: выдача купюр прервана, не выдано купюр: %u шт."
                                        : "кассета #2: выдача купюр прервана, не выдано купюр: %u шт.",
                            totals.Owed(c));
                        logs.WriteRecord(EventAbort, "ABORT", totals.Owed(c), text);
                        request_.AddError(text);
                        aborted[c] = true;
                    }
                    const bool done0 = aborted[0] || totals.Owed(0) == 0;
                    const bool done1 = aborted[1] || totals.Owed(1) == 0;
                    if (done0 && done1 && (aborted[0] || aborted[1]))
                        break;
                }
                // A cancel during this pass: its notes are counted, no further pass runs.
                StopIfCancelled();
            }

            for (int c = 0; c < 2; ++c) {
                if (totals.dispensed[c] > 0)
                    Say(AppLog::Positive, "%s: выдано купюр из кассеты #%d: %u шт.", name_.c_str(), c + 1,
                        totals.dispensed[c]);
            }
            request_.SetResult(true);
        } catch (const OrvaneException& error) {
            const std::string& reason = error.Reason();
            request_.AddError(reason);
            Say(AppLog::Error, "%s: выдача купюр прервана с результатом: \"%s\"", name_.c_str(), reason.c_str());
            for (int c = 0; c < 2; ++c) {
                if (totals.requested[c] > 0)
                    Say(AppLog::Error, "%s: до ошибки успешно выдано купюр из кассеты #%d: %u шт, не выдано купюр: %u шт.",
                        name_.c_str(), c + 1, totals.dispensed[c], totals.Owed(c));
            }
            for (int c = 0; c < 2; ++c) {
                if (totals.Owed(c) > 0)
                    logs.WriteRecord(EventFailure, "FAILURE", totals.Owed(c),
                                     FormatBuffer(4096, "ошибка: \"%s\"; не выдано купюр из кассеты #%d: %u шт.",
                                                  reason.c_str(), c + 1, totals.Owed(c)));
            }
        }
    } catch (...) {
        finish();
        throw;
    }
    finish();
    return request_.Result();
}

} // namespace DispenserScenario
