#include "Plugin/Dispenser/scenario_thread.h"

#include "Plugin/Dispenser/dispenser_query.h"
#include "framework/app_log.h"
#include "framework/exceptions.h"
#include "framework/messages.h"
#include "framework/text_format.h"

#include <cstdarg>

namespace DispenserScenario {

ScenarioThread::ScenarioThread(Request& request, WindowHandle dialog)
    : WindowClientThread(&request.TraceLog()), request_(request), dialog_(dialog), name_(OperationName(request))
{
}

void ScenarioThread::Say(int category, const char* format, ...)
{
    std::va_list arguments;
    va_start(arguments, format);
    const std::string text = FormatTextV(format, arguments);
    va_end(arguments);
    request_.TraceLog().WriteText(category, text);
}

int ScenarioThread::Ask(const std::string& text, int style, int cautious)
{
    return AppMessage(OperatorPrompt{text, kDebugTitle, style, dialog_, cautious});
}

bool ScenarioThread::AskOperator(const std::string& text)
{
    return Ask(text, 36) == ButtonYes;
}

std::string ScenarioThread::DeviceErrorText(std::uint8_t code)
{
    return FormatBuffer(256, "Ошибка устройства, код %u (%02XH).", static_cast<unsigned>(code),
                        static_cast<unsigned>(code));
}

void ScenarioThread::StopIfCancelled()
{
    if (StopEvent().IsSignalled())
        throw OVAppException(FormatText("%s: операция прервана", name_.c_str()));
}

void ScenarioThread::CheckEnabled(const DispenserControl::Settings& settings)
{
    if (!settings.IsEnabled())
        throw OVAppException(FormatBuffer(512, "Диспенсер не задействован"));
}

int ScenarioThread::ClientThreadFunc()
{
    try {
        switch (request_.GetKind()) {
        case KindRomVersion:
            return DoRomVersion();
        case KindStatus:
            return DoStatus();
        case KindPurge:
            return DoPurge();
        case KindTestReject:
            return DoTestReject();
        case KindDispense:
            return DoDispense();
        default:
            return 0;
        }
    } catch (const OrvaneException& error) {
        Say(AppLog::Error, "%s: необработанное исключение: %s", name_.c_str(), error.Reason().c_str());
        request_.AddError(error.Reason());
    } catch (...) {
        Say(AppLog::Error, "%s: необработанное исключение неизвестного типа", name_.c_str());
        request_.AddError("Неизвестная ошибка в ScenarioThread::ClientThreadFunc");
    }
    // An operation that ends in an error fails, also when it had set its result before.
    request_.SetResult(false);
    return 0;
}

bool ScenarioThread::ExecuteQuery(DispenserQuery& query, bool collectErrors)
{
    if (!query.Initiate(nullptr, 0)) {
        if (!collectErrors)
            throw OVAppException(FormatBuffer(4096, "%s: не удалось инициализировать запрос (%s:%i)", name_.c_str(),
                                              __FILE_NAME__, __LINE__));
        const std::string text = FormatText("%s: не удалось инициализировать запрос", name_.c_str());
        request_.AddError(text);
        request_.TraceLog().WriteText(AppLog::Error, text);
        return false;
    }
    Say(AppLog::Info, "%s: запрос инициализирован, ожидание ответа", name_.c_str());

    std::string failure;
    {
        const std::unique_ptr<MTSys::SyncObject> requestThread = query.GetSyncObject();
        // A failed wait raises WindowsError rather than spinning.
        if (MTSys::WaitAny({requestThread.get(), &StopEvent()}, MTSys::kInfinite) == 0) {
            switch (query.GetState(true)) {
            case QueryCompleted:
                Say(AppLog::Positive, "%s: %s", name_.c_str(), "ответ получен");
                return true;
            case QueryCancelled:
                Say(AppLog::Warning, "%s: %s", name_.c_str(), "операция прервана");
                failure = "операция прервана";
                break;
            default:
                Say(AppLog::Error, "%s: %s", name_.c_str(), "сбой операции");
                failure = "сбой операции";
                break;
            }
        } else {
            Say(AppLog::Warning, "%s: операция прервана", name_.c_str());
            query.Cancel(true);
            // A note-moving command the device had acknowledged has been read to its
            // end: its notes are counted, and the body stops after this pass.
            if (query.MovesNotes() && query.GetState(false) == QueryCompleted)
                return true;
            failure = FormatText("%s: операция прервана", name_.c_str());
        }
    }
    if (collectErrors) {
        request_.AddError(failure);
        return false;
    }
    throw OVAppException(failure);
}

std::uint32_t ScenarioThread::OperationValue(const char* name, std::uint32_t fallback)
{
    const RegKey key(RegistryRoot::LocalMachine, DispenserControl::kSettingsKey, false, RegAccessRead);
    return key.ReadDword(name, fallback);
}

void ScenarioThread::CheckCounterStore(bool cassette1, bool cassette2)
{
    DispenserControl::Settings writable(true, request_.Override());
    for (const char* name : {"RejectFactor", "Reset on Bill-End", "MaxDispense"})
        static_cast<void>(OperationValue(name, 1));
    DispenserControl::Reject reject(writable);
    if (reject.IsCounted())
        static_cast<void>(reject.GetCount());
    const bool used[2] = {cassette1, cassette2};
    for (int c = 0; c < 2; ++c) {
        if (!used[c])
            continue;
        DispenserControl::Cassette cassette(writable, c + 1);
        if (cassette.IsCounted())
            static_cast<void>(cassette.GetCount());
    }
}

} // namespace DispenserScenario
