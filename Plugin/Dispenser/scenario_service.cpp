// The service operations: firmware version, status, purge and test reject.
#include "Plugin/Dispenser/dispenser_log.h"
#include "Plugin/Dispenser/dispenser_requests.h"
#include "Plugin/Dispenser/saturating.h"
#include "Plugin/Dispenser/scenario_thread.h"
#include "framework/exceptions.h"
#include "framework/text_format.h"
#include "framework/text_utils.h"

namespace DispenserScenario {

namespace {

bool IsLcdm2000(const DispenserControl::Settings& settings)
{
    return EqualsNoCase(settings.GetDevice(), "LCDM-2000");
}


void WriteStatusLine(AppLog& log, const std::string& name, const DispenserStatusInfo& status)
{
    log.Write(AppLog::Positive, "%s: статус устройства: error:%02X (\"%s\"), sensor0:%02X (%s), sensor1:%02X (%s)",
              name.c_str(), static_cast<unsigned>(status.error), status.errorText.c_str(),
              static_cast<unsigned>(status.sensor0), status.sensor0Text.c_str(), static_cast<unsigned>(status.sensor1),
              status.sensor1Text.c_str());
}

} // namespace

bool ScenarioThread::DoRomVersion()
{
    const DispenserControl::Settings settings(false, request_.Override());
    CheckEnabled(settings);
    std::string version;
    if (settings.IsDebug()) {
        Say(AppLog::Info, "%s: отладочный режим", name_.c_str());
        request_.SetResult(AskOperator("Опрос версии прошивки диспенсера считаем успешным?"));
        if (!request_.Result())
            throw DebugException("условная ошибка опроса версии прошивки диспенсера (отладочный режим)");
        version = "DEBUG";
        Say(AppLog::Positive, "%s: опрос версии прошивки диспенсера считается успешным (отладочный режим)",
            name_.c_str());
    } else {
        DispenserPort port(&request_.TraceLog(), request_.Errors(), &settings);
        Say(AppLog::Info, "%s: получение данных", name_.c_str());
        DispenserQuery_RomVersion query(port);
        request_.SetResult(ExecuteQuery(query, false));
        if (!request_.Result())
            return false;
        version = query.GetVersion();
    }
    Say(AppLog::Positive, "%s: версия %s", name_.c_str(), version.c_str());
    if (std::string* output = request_.Output().version)
        *output = version;
    return request_.Result();
}

bool ScenarioThread::DoStatus()
{
    const DispenserControl::Settings settings(false, request_.Override());
    CheckEnabled(settings);
    DispenserStatusInfo status;
    if (settings.IsDebug()) {
        Say(AppLog::Info, "%s: отладочный режим", name_.c_str());
        request_.SetResult(AskOperator("Опрос статуса диспенсера считаем успешным?"));
        if (!request_.Result())
            throw DebugException("условная ошибка опроса статуса диспенсера (отладочный режим)");
        status.error = 0x30;
        status.errorText = "Ok (debug)";
        status.sensor0 = 0x80;
        status.sensor0Text = "Ok (debug)";
        status.sensor1 = 0x80;
        status.sensor1Text = "Ok (debug)";
        Say(AppLog::Positive, "%s: опрос статуса диспенсера считается успешным (отладочный режим)", name_.c_str());
        WriteStatusLine(request_.TraceLog(), name_, status);
    } else {
        DispenserPort port(&request_.TraceLog(), request_.Errors(), &settings);
        Say(AppLog::Info, "%s: получение данных", name_.c_str());
        DispenserQuery_Status query(port, IsLcdm2000(settings));
        request_.SetResult(ExecuteQuery(query, false));
        if (!request_.Result())
            return false;
        status.error = query.ErrorCode();
        status.errorText = query.ErrorDescription();
        status.sensor0 = query.SensorsA();
        status.sensor0Text = query.SensorsAText();
        status.sensor1 = query.SensorsB();
        status.sensor1Text = query.SensorsBText();
        WriteStatusLine(request_.TraceLog(), name_, status);
        const bool sensorsOk = query.SensorsHealthy();
        // A sensor fault also counts as a device fault.
        const bool deviceOk = sensorsOk && (status.error == 0x30 || status.error == 0x31);
        if (sensorsOk)
            Say(AppLog::Positive, "%s: состояние датчиков: норма", name_.c_str());
        else
            Say(AppLog::Warning, "%s: состояние датчиков: ошибка", name_.c_str());
        if (deviceOk)
            Say(AppLog::Positive, "%s: нет ошибки устройства", name_.c_str());
        else
            Say(AppLog::Warning, "%s: есть ошибка устройства", name_.c_str());
        if (!sensorsOk)
            request_.AddError("Состояние датчиков: ошибка");
        if (!deviceOk)
            request_.AddError("Состояние устройства: ошибка");
        status.flags = (sensorsOk ? 0 : DispenserStatusInfo::kSensorFault) |
                       (deviceOk ? 0 : DispenserStatusInfo::kDeviceFault);
    }
    if (DispenserStatusInfo* output = request_.Output().status)
        *output = status;
    return request_.Result();
}

bool ScenarioThread::DoPurge()
{
    const DispenserControl::Settings settings(false, request_.Override());
    CheckEnabled(settings);
    if (settings.IsDebug()) {
        Say(AppLog::Info, "%s: отладочный режим", name_.c_str());
        request_.SetResult(AskOperator("Прогон механизма диспенсера считаем успешным?"));
        if (!request_.Result())
            throw DebugException("Условная ошибка прогона механизма диспенсера (отладочный режим)");
        Say(AppLog::Positive, "%s: прогон механизма диспенсера считается успешным (отладочный режим)", name_.c_str());
        return true;
    }
    DispenserPort port(&request_.TraceLog(), request_.Errors(), &settings);
    Say(AppLog::Info, "%s: выполнение команды", name_.c_str());
    DispenserQuery_Purge query(port);
    request_.SetResult(ExecuteQuery(query, false));
    if (!request_.Result())
        return false;
    // An answer with a device error is a purge that failed, not one that succeeded.
    const std::uint8_t code = query.ErrorCode();
    if (code != 0x30 && code != 0x31) {
        Say(AppLog::Error, "%s: ошибка устройства: %s", name_.c_str(), query.ErrorDescription().c_str());
        request_.AddError(FormatBuffer(256, "Ошибка устройства, код %u (%02XH).", static_cast<unsigned>(code),
                                       static_cast<unsigned>(code)));
        request_.SetResult(false);
        return false;
    }
    Say(AppLog::Positive, "%s: команда выполнена", name_.c_str());
    return true;
}

bool ScenarioThread::DoTestReject()
{
    DispenserControl::Settings settings(false, request_.Override());
    CheckEnabled(settings);
    const int number = request_.Input().cassette;
    std::string cassetteText = "кассеты";
    if (number == 1 && IsLcdm2000(settings))
        cassetteText = "верхней кассеты";
    else if (number == 2)
        cassetteText = "нижней кассеты";

    {
        DispenserControl::Cassette cassette(settings, number);
        if (!cassette.IsEnabled())
            throw OVAppException(FormatBuffer(512, "Запрещено использование %s", cassetteText.c_str()));
        const DispenserControl::CassetteLimit minAmount(cassette, DispenserControl::kMinAmountLimit);
        const std::uint32_t count = cassette.GetCount();
        if (cassette.IsCounted() && minAmount.IsEnabled() && count <= SaturatingAdd(minAmount.GetValue(), 1))
            throw OVAppException(FormatBuffer(512,
                                              "По данным системного реестра в кассете диспенсера недостаточно купюр "
                                              "для выполнения операции (запрошено %u шт., предполагается в наличии "
                                              "%u шт., минимальное ограничение: %u шт.)",
                                              1u, count, minAmount.GetValue()));
        const DispenserControl::CassetteLimit maxDispense(cassette, DispenserControl::kMaxDispenseLimit);
        if (maxDispense.IsEnabled() && maxDispense.GetValue() == 0)
            throw OVAppException(FormatBuffer(
                512, "Нарушен предел максимальной выдачи купюр (запрошено %u шт., разрешено максимум %u шт.)", 1u,
                maxDispense.GetValue()));
        DispenserControl::Reject reject(settings);
        const DispenserControl::RejectLimit rejectLimit(settings, reject);
        const std::uint32_t inBin = reject.GetCount();
        // Exactly, in 64 bits: a saturated sum would let a full bin at the top of the range take one more.
        if (reject.IsCounted() && rejectLimit.IsEnabled() && std::uint64_t{inBin} + 1 > rejectLimit.GetValue())
            throw OVAppException(FormatBuffer(512,
                                              "По данным системного реестра в контейнере \"Reject\" недостаточно "
                                              "места для выполнения операции (запрошена выбраковка %u шт., "
                                              "предполагается в контейнере %u шт., максимальное ограничение: %u шт.)",
                                              1u, inBin, rejectLimit.GetValue()));
    }

    CheckCounterStore(number == 1, number == 2);

    std::uint32_t rejected = 0;
    std::uint8_t errorCode = 0;
    if (settings.IsDebug()) {
        Say(AppLog::Info, "%s: отладочный режим", name_.c_str());
        request_.SetResult(AskOperator(FormatBuffer(256, "Тест выдачи из %s считаем успешным?", cassetteText.c_str())));
        if (!request_.Result())
            throw DebugException("Условная ошибка теста выдачи (отладочный режим)");
        Say(AppLog::Positive, "%s: тест выдачи купюр из %s считается успешным (отладочный режим)", name_.c_str(),
            cassetteText.c_str());
        Say(AppLog::Positive, "%s: выдано купюр из %s: %u шт.", name_.c_str(), cassetteText.c_str(), 1u);
        rejected = 1;
        if (unsigned* output = request_.Output().rejected)
            *output = 1;
    } else {
        DispenserPort port(&request_.TraceLog(), request_.Errors(), &settings);
        Say(AppLog::Info, "%s: выполнение команды", name_.c_str());
        DispenserQuery_TestReject query(port, number == 2);
        request_.SetResult(ExecuteQuery(query, false));
        errorCode = query.ErrorCode();
        if (request_.Result()) {
            rejected = query.RejectedCount();
            Say(AppLog::Positive, "%s: выдано купюр из %s: %u шт.", name_.c_str(), cassetteText.c_str(), rejected);
            if (unsigned* output = request_.Output().rejected)
                *output = rejected;
            // A command the device refused or stopped (no cassette, no tray, a jam, ...)
            // is a failed test; the notes it did move are still counted below. A bill
            // end is an answer: nothing to reject, and the counter is reset below.
            const bool billEnd = errorCode == 0x38 || errorCode == 0x40;
            if (errorCode != 0x30 && errorCode != 0x31 && !billEnd) {
                Say(AppLog::Error, "%s: ошибка устройства: %s", name_.c_str(), query.ErrorDescription().c_str());
                request_.AddError(FormatBuffer(256, "Ошибка устройства, код %u (%02XH).",
                                               static_cast<unsigned>(errorCode), static_cast<unsigned>(errorCode)));
                request_.SetResult(false);
            }
        }
    }

    if (rejected > 0) {
        const std::uint32_t factor = OperationValue("RejectFactor", 1);
        rejected = SaturatingMultiply(rejected, factor);
        Say(AppLog::Positive, "%s: RejectFactor:%u, calc. rejected:%u", name_.c_str(), factor, rejected);
    }

    DispenserLogHandler& logs = request_.Logs();
    bool reset = false;
    if ((errorCode == 0x38 || errorCode == 0x40) && OperationValue("Reset on Bill-End", 1) != 0) {
        DispenserControl::Settings writable(true, request_.Override());
        DispenserControl::Cassette cassette(writable, number);
        if (cassette.IsCounted()) {
            Say(AppLog::Warning, "%s: диспенсер показал отсутствие купюр, сбрасываем программный счётчик купюр",
                name_.c_str());
            const std::uint32_t count = cassette.UpdateCount([](auto) { return 0u; });
            logs.WriteRecord(EventCount, "COUNT", count,
                             FormatText("предполагаемое количество купюр в кассете диспенсера: %u шт.", count));
            reset = true;
        }
    }

    if (rejected > 0) {
        DispenserControl::Settings writable(true, request_.Override());
        DispenserControl::Reject reject(writable);
        if (reject.IsCounted())
            reject.UpdateCount([rejected](std::optional<std::uint32_t> count) {
                return SaturatingAdd(count.value_or(0), rejected);
            });
        logs.WriteRecord(EventReject, "REJECT", rejected, FormatText("диспенсер забраковал купюр: %u шт.", rejected));
        if (!reset) {
            DispenserControl::Cassette cassette(writable, number);
            if (cassette.IsCounted()) {
                const std::uint32_t count = cassette.UpdateCount([rejected](std::optional<std::uint32_t> current) {
                    return SaturatingSubtract(current.value_or(0), rejected);
                });
                logs.WriteRecord(EventCount, "COUNT", count,
                                 FormatText("предполагаемое количество купюр в кассете диспенсера: %u шт.", count));
            }
        }
    }
    // A cancel that came while the note moved: the note is counted, the operation fails.
    StopIfCancelled();
    return request_.Result();
}

} // namespace DispenserScenario
