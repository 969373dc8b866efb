// The service operations: firmware version, status, purge and test reject.
#include "Plugin/Dispenser/device_result.h"
#include "Plugin/Dispenser/dispenser_log.h"
#include "Plugin/Dispenser/dispenser_requests.h"
#include "Plugin/Dispenser/payout_rules.h"
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
        status.error = Code(DeviceResult::Good);
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
        const bool deviceOk = sensorsOk && IsSuccess(status.error);
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
    if (!IsSuccess(code)) {
        Say(AppLog::Error, "%s: ошибка устройства: %s", name_.c_str(), query.ErrorDescription().c_str());
        request_.AddError(DeviceErrorText(code));
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
    debug_ = settings.IsDebug();
    RefuseWhilePassInDoubt();
    const int number = request_.Input().cassette;
    std::string cassetteText = "кассеты";
    if (number == 1 && IsLcdm2000(settings))
        cassetteText = "верхней кассеты";
    else if (number == 2)
        cassetteText = "нижней кассеты";

    {
        DispenserControl::Cassette cassette(settings, number);
        if (!PayoutRules::CassetteInUse(cassette))
            throw OVAppException(FormatBuffer(512, "Запрещено использование %s", cassetteText.c_str()));
        if (!PayoutRules::ReserveAllows(cassette, PayoutRules::kTestTakes))
            throw OVAppException(FormatBuffer(512,
                                              "По данным системного реестра в кассете диспенсера недостаточно купюр "
                                              "для выполнения операции (запрошено %u шт., предполагается в наличии "
                                              "%u шт., минимальное ограничение: %u шт.)",
                                              PayoutRules::kTestTakes, cassette.GetCount(),
                                              DispenserControl::CassetteLimit(cassette, DispenserControl::kMinAmountLimit)
                                                  .GetValue()));
        if (!PayoutRules::MaxDispenseAllows(cassette, PayoutRules::kTestTakes))
            throw OVAppException(FormatBuffer(
                512, "Нарушен предел максимальной выдачи купюр (запрошено %u шт., разрешено максимум %u шт.)",
                PayoutRules::kTestTakes,
                DispenserControl::CassetteLimit(cassette, DispenserControl::kMaxDispenseLimit).GetValue()));
        if (!PayoutRules::RejectBinAllows(settings, PayoutRules::kTestRejects)) {
            DispenserControl::Reject reject(settings);
            throw OVAppException(FormatBuffer(512,
                                              "По данным системного реестра в контейнере \"Reject\" недостаточно "
                                              "места для выполнения операции (запрошена выбраковка %u шт., "
                                              "предполагается в контейнере %u шт., максимальное ограничение: %u шт.)",
                                              PayoutRules::kTestRejects, reject.GetCount(),
                                              DispenserControl::RejectLimit(settings, reject).GetValue()));
        }
    }

    CheckCounterStore(number == 1, number == 2);

    const int c = number - 1;
    if (debug_) {
        PassOutcome pass;
        pass.asked[c] = 1;
        Say(AppLog::Info, "%s: отладочный режим", name_.c_str());
        request_.SetResult(AskOperator(FormatBuffer(256, "Тест выдачи из %s считаем успешным?", cassetteText.c_str())));
        if (!request_.Result())
            throw DebugException("Условная ошибка теста выдачи (отладочный режим)");
        Say(AppLog::Positive, "%s: тест выдачи купюр из %s считается успешным (отладочный режим)", name_.c_str(),
            cassetteText.c_str());
        Say(AppLog::Positive, "%s: выдано купюр из %s: %u шт.", name_.c_str(), cassetteText.c_str(), 1u);
        pass.rejected[c] = 1;
        if (unsigned* output = request_.Output().rejected)
            *output = 1;
        BookPass(pass, PassKind::TestReject);
        StopIfCancelled();
        return request_.Result();
    }

    DispenserPort port(&request_.TraceLog(), request_.Errors(), &settings);
    std::uint32_t asked[2] = {0, 0};
    asked[c] = PayoutRules::kTestTakes;
    std::string deviceError;
    const auto command = [&]() {
        Say(AppLog::Info, "%s: выполнение команды", name_.c_str());
        DispenserQuery_TestReject query(port, number == 2);
        try {
            ExecuteQuery(query, false);
            PassOutcome pass;
            pass.asked[c] = asked[c];
            pass.code = query.ErrorCode();
            // The tested cassette's end is reported with either code.
            pass.billEnd[c] = IsBillEnd(pass.code);
            pass.checked[c] = query.CheckedCount();
            pass.out[c] = query.ExitedCount();
            pass.rejected[c] = query.RejectedCount();
            if (!IsSuccess(pass.code) && !pass.billEnd[c])
                deviceError = query.ErrorDescription();
            return pass;
        } catch (...) {
            RethrowForCommand(query, asked);
        }
    };
    PassOutcome pass;
    try {
        pass = MoveNotes(PassKind::TestReject, asked, command, [&](const PassOutcome& answer) {
            Say(AppLog::Positive, "%s: выдано купюр из %s: %u шт.", name_.c_str(), cassetteText.c_str(),
                answer.rejected[c]);
        });
    } catch (const PassInDoubt& doubt) {
        request_.AddError(ReportPassInDoubt(doubt));
        request_.SetResult(false);
        return false;
    }
    request_.SetResult(true);
    if (unsigned* output = request_.Output().rejected)
        *output = pass.rejected[c];
    // A command the device refused or stopped (no cassette, no tray, a jam, ...) is a
    // failed test; the notes it did move were counted. A bill end is an answer:
    // nothing to reject, and the counter was reset.
    if (!deviceError.empty()) {
        Say(AppLog::Error, "%s: ошибка устройства: %s", name_.c_str(), deviceError.c_str());
        request_.AddError(DeviceErrorText(pass.code));
        request_.SetResult(false);
    }
    // A cancel that came while the note moved: the note is counted, the operation fails.
    StopIfCancelled();
    return request_.Result();
}

} // namespace DispenserScenario
