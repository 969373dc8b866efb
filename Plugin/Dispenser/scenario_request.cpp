#include "Plugin/Dispenser/scenario.h"

#include "Plugin/Dispenser/dispenser_log.h"
#include "Plugin/Dispenser/scenario_thread.h"

#include "framework/window_messages.h"

#include <algorithm>
#include <mutex>
#include <utility>

namespace DispenserScenario {

namespace {

constexpr const char* kOperationNames[] = {
    "Опрос версии прошивки устройства", "Опрос состояния устройства", "Прогон механизма устройства",
    "Тест выдачи купюр", "Выдача купюр",
};

// The requests running now, for CancelRunning.
std::mutex g_runningMutex;
std::vector<Request*> g_running;

} // namespace

std::string OperationName(int kind)
{
    if (kind < KindRomVersion || kind > KindDispense)
        return {};
    return kOperationNames[kind];
}

std::string OperationName(const Request& request)
{
    return OperationName(request.GetKind());
}

Request::Request(int kind, std::vector<std::string>* errors, RequestInput input, RequestOutput output,
                 const DispenserControl::SettingsOverride* override)
    : kind_(kind),
      errors_(errors),
      input_(input),
      output_(output),
      override_(override),
      logs_(DispenserLogHandler::Instance())
{
    if (errors_ != nullptr)
        errors_->clear();
    std::lock_guard lock(g_runningMutex);
    g_running.push_back(this);
}

Request::~Request()
{
    {
        std::lock_guard lock(g_runningMutex);
        g_running.erase(std::remove(g_running.begin(), g_running.end(), this), g_running.end());
    }
    thread_.reset();
}

AppLog& Request::TraceLog() const
{
    return logs_->TraceLog();
}

void Request::AddError(const std::string& text)
{
    if (errors_ != nullptr && !text.empty())
        errors_->push_back(text);
}

void Request::Cancel()
{
    cancel_.Set();
    // Under a dialog, the cancel is the dialog's own Cancel, on the dialog's thread.
    if (WindowHandle dialog = dialog_.load())
        PostWindowMessage(dialog, kCancelCommandMessage, kCancelCommandId, 0);
}

void Request::SetThread(std::unique_ptr<ScenarioThread> thread)
{
    thread_ = std::move(thread);
}

void Request::SetDialogWindow(WindowHandle dialog)
{
    dialog_.store(dialog);
}

// Under the installed dialog when there is one and runs are not forced headless.
bool Request::Run(WindowHandle parent)
{
    const DialogRunner runner = CurrentDialogRunner();
    if (IsHeadless() || !runner)
        return RunHeadless(parent);
    return Finish(runner(*this, parent));
}

bool Request::RunHeadless(WindowHandle parent)
{
    thread_ = std::make_unique<ScenarioThread>(*this, parent);
    thread_->Start(nullptr);
    if (!thread_->WorkerThread().IsValid()) {
        FailToStart();
        return false;
    }
    int endCode = 1; // Ok
    if (MTSys::WaitAny({&thread_->WorkerThread(), &cancel_}, MTSys::kInfinite) == 1) {
        thread_->Terminate();
        endCode = 2; // Cancel
    }
    return Finish(endCode);
}

void Request::FailToStart()
{
    const std::string text = "Не удалось запустить поток выполнения операции";
    TraceLog().WriteText(AppLog::Error, text);
    AddError(text);
    SetResult(false);
}

bool Request::Finish(int endCode)
{
    if (endCode != 1) {
        AddError("Выполнение запроса неожиданно прервано");
        SetResult(false);
    }
    return Result();
}

namespace {

std::atomic<bool> g_headless{false};

std::mutex g_runnerMutex;
DialogRunner g_dialogRunner;

} // namespace

DialogRunner SetDialogRunner(DialogRunner runner)
{
    std::lock_guard lock(g_runnerMutex);
    return std::exchange(g_dialogRunner, std::move(runner));
}

DialogRunner CurrentDialogRunner()
{
    std::lock_guard lock(g_runnerMutex);
    return g_dialogRunner;
}

void SetHeadless(bool headless)
{
    g_headless.store(headless);
}

bool IsHeadless()
{
    return g_headless.load();
}

int CancelRunning()
{
    std::lock_guard lock(g_runningMutex);
    for (Request* request : g_running)
        request->Cancel();
    return static_cast<int>(g_running.size());
}

bool QueryVersion(WindowHandle parent, std::vector<std::string>* errors, std::string* version,
                  const DispenserControl::SettingsOverride* override)
{
    if (version != nullptr)
        version->clear();
    RequestOutput output;
    output.version = version;
    Request request(KindRomVersion, errors, {}, output, override);
    return request.Run(parent);
}

bool QueryStatus(WindowHandle parent, std::vector<std::string>* errors, DispenserStatusInfo* status,
                 const DispenserControl::SettingsOverride* override)
{
    if (status != nullptr)
        *status = DispenserStatusInfo();
    RequestOutput output;
    output.status = status;
    Request request(KindStatus, errors, {}, output, override);
    return request.Run(parent);
}

bool Purge(WindowHandle parent, std::vector<std::string>* errors, const DispenserControl::SettingsOverride* override)
{
    Request request(KindPurge, errors, {}, {}, override);
    return request.Run(parent);
}

bool TestReject(WindowHandle parent, std::vector<std::string>* errors, int cassette, unsigned* rejected,
                const DispenserControl::SettingsOverride* override)
{
    if (rejected != nullptr)
        *rejected = 0;
    RequestInput input;
    input.cassette = cassette;
    RequestOutput output;
    output.rejected = rejected;
    Request request(KindTestReject, errors, input, output, override);
    return request.Run(parent);
}

bool Dispense(WindowHandle parent, std::vector<std::string>* errors, unsigned count1, unsigned count2,
              PayoutResult& result, const DispenserControl::SettingsOverride* override)
{
    result = PayoutResult{};
    RequestInput input;
    input.count1 = count1;
    input.count2 = count2;
    RequestOutput output;
    output.dispensed1 = &result.dispensed[0];
    output.dispensed2 = &result.dispensed[1];
    output.rejected1 = &result.rejected[0];
    output.rejected2 = &result.rejected[1];
    output.unknown1 = &result.unknown[0];
    output.unknown2 = &result.unknown[1];
    Request request(KindDispense, errors, input, output, override);
    return request.Run(parent);
}

bool Dispense(WindowHandle parent, std::vector<std::string>* errors, unsigned count1, unsigned count2,
              unsigned* dispensed1, unsigned* dispensed2, unsigned* rejected1, unsigned* rejected2,
              const DispenserControl::SettingsOverride* override)
{
    PayoutResult result;
    const bool ok = Dispense(parent, errors, count1, count2, result, override);
    const unsigned values[4] = {result.dispensed[0], result.dispensed[1], result.rejected[0], result.rejected[1]};
    unsigned* const targets[4] = {dispensed1, dispensed2, rejected1, rejected2};
    for (int i = 0; i < 4; ++i) {
        if (targets[i] != nullptr)
            *targets[i] = values[i];
    }
    return ok;
}

} // namespace DispenserScenario
