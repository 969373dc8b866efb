// Dispenser operations as the callers see them: each entry operation builds a
// Request, runs it to its end on a scenario thread of its own (under the operator
// dialog where a user interface installed one, headless elsewhere) and returns true on
// success, its outputs, and the reasons of a failure as Russian texts in the caller's
// error list.
#pragma once

#include "Plugin/Dispenser/settings.h"
#include "MTSys/mtsys.h"
#include "platform_types.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class AppLog;
class DispenserLogHandler;

// The device status returned by DispenserScenario::QueryStatus.
struct DispenserStatusInfo {
    // Bits of `flags`.
    static constexpr int kDeviceFault = 0x1;
    static constexpr int kSensorFault = 0x2;

    std::uint8_t error = 0;
    std::string errorText;
    std::uint8_t sensor0 = 0;
    std::string sensor0Text;
    std::uint8_t sensor1 = 0;
    std::string sensor1Text;
    int flags = 0;
};

namespace DispenserScenario {

class ScenarioThread;

enum Kind : int {
    KindRomVersion = 0,
    KindStatus = 1,
    KindPurge = 2,
    KindTestReject = 3,
    KindDispense = 4,
};

// What an operation works on: test reject the cassette, dispense the two counts.
struct RequestInput {
    int cassette = 0;
    unsigned count1 = 0; // notes from the upper cassette
    unsigned count2 = 0; // notes from the lower cassette
};

// Where an operation puts its results; every pointer may be null.
struct RequestOutput {
    std::string* version = nullptr;
    DispenserStatusInfo* status = nullptr;
    unsigned* rejected = nullptr; // test reject
    unsigned* dispensed1 = nullptr;
    unsigned* dispensed2 = nullptr;
    unsigned* rejected1 = nullptr;
    unsigned* rejected2 = nullptr;
    unsigned* unknown1 = nullptr; // notes of a pass in doubt
    unsigned* unknown2 = nullptr;
};

// What a payout did, per cassette (index 0: #1, 1: #2).
struct PayoutResult {
    unsigned dispensed[2] = {0, 0};
    unsigned rejected[2] = {0, 0};
    unsigned unknown[2] = {0, 0}; // notes of a pass in doubt: they may have left
};

// One operation request; lives on the caller's stack for one entry operation.
class Request {
public:
    // Takes the two logs of the process's log handler and empties the error list.
    Request(int kind, std::vector<std::string>* errors, RequestInput input, RequestOutput output,
            const DispenserControl::SettingsOverride* override);
    // Destroys the scenario thread, which waits for its worker.
    virtual ~Request();
    Request(const Request&) = delete;
    Request& operator=(const Request&) = delete;

    // Runs the operation to its end on the calling thread, under the installed dialog
    // runner (see SetDialogRunner) or else headless, and returns its result. A
    // run that did not end with Ok (cancelled) adds "Выполнение запроса неожиданно
    // прервано" and returns false.
    bool Run(WindowHandle parent);
    // Cancels a running operation as the dialog's Cancel does; safe from any thread,
    // also before Run or after it.
    void Cancel();

    // Appends a non-empty text to the error list, when there is one.
    void AddError(const std::string& text);

    int GetKind() const { return kind_; }
    const RequestInput& Input() const { return input_; }
    const RequestOutput& Output() const { return output_; }
    std::vector<std::string>* Errors() const { return errors_; }
    const DispenserControl::SettingsOverride* Override() const { return override_; }
    AppLog& TraceLog() const;
    DispenserLogHandler& Logs() const { return *logs_; }

    bool Result() const { return result_.load(); }
    void SetResult(bool result) { result_.store(result); }

    // The scenario thread, once a run has started it (under a dialog, the dialog starts it).
    ScenarioThread* Thread() const { return thread_.get(); }
    void SetThread(std::unique_ptr<ScenarioThread> thread);
    // The dialog running the request, so that Cancel reaches it; null when none.
    void SetDialogWindow(WindowHandle dialog);

    // Runs without a dialog: waits for the thread or a cancel (all platforms).
    bool RunHeadless(WindowHandle parent);
    // The end of a run with the dialog's end code: 1 Ok, else cancelled.
    bool Finish(int endCode);
    // The scenario thread could not be started: the operation fails at once with a text.
    void FailToStart();

    // The command a cancel posts to a running dialog: WM_COMMAND with IDCANCEL.
    static constexpr unsigned kCancelCommandMessage = 0x0111;
    static constexpr std::uintptr_t kCancelCommandId = 2;

private:
    int kind_;
    std::vector<std::string>* errors_;
    RequestInput input_;
    RequestOutput output_;
    const DispenserControl::SettingsOverride* override_;
    std::shared_ptr<DispenserLogHandler> logs_;
    std::atomic<bool> result_{false};
    MTSys::Event cancel_;
    std::atomic<WindowHandle> dialog_{nullptr};
    std::unique_ptr<ScenarioThread> thread_;
};

// The name of the request's kind ("Выдача купюр", ...), empty for an unknown kind.
std::string OperationName(const Request& request);
std::string OperationName(int kind);

// The entry operations. `parent` owns the operation's dialog; `errors` (may be null)
// receives the failure texts; `override` (may be null) stands for unsaved settings.
bool QueryVersion(WindowHandle parent, std::vector<std::string>* errors, std::string* version,
                  const DispenserControl::SettingsOverride* override = nullptr);
bool QueryStatus(WindowHandle parent, std::vector<std::string>* errors, DispenserStatusInfo* status,
                 const DispenserControl::SettingsOverride* override = nullptr);
bool Purge(WindowHandle parent, std::vector<std::string>* errors,
           const DispenserControl::SettingsOverride* override = nullptr);
bool TestReject(WindowHandle parent, std::vector<std::string>* errors, int cassette, unsigned* rejected,
                const DispenserControl::SettingsOverride* override = nullptr);
bool Dispense(WindowHandle parent, std::vector<std::string>* errors, unsigned count1, unsigned count2,
              unsigned* dispensed1, unsigned* dispensed2, unsigned* rejected1, unsigned* rejected2,
              const DispenserControl::SettingsOverride* override = nullptr);
bool Dispense(WindowHandle parent, std::vector<std::string>* errors, unsigned count1, unsigned count2,
              PayoutResult& result, const DispenserControl::SettingsOverride* override = nullptr);

// Runs a request under the operator dialog, modally on the caller's thread, and
// returns the dialog's end code (1 Ok, anything else cancelled). The dialog starts the
// request's scenario thread.
using DialogRunner = std::function<int(Request& request, WindowHandle parent)>;
// Installs the runner every Request::Run uses; returns the previous one. An empty
// function removes it. The Windows user interface installs it at start (see
// ui/scenario_dialog.h); without one every run is headless. Safe from any thread.
DialogRunner SetDialogRunner(DialogRunner runner);
DialogRunner CurrentDialogRunner();

// Runs operations without the dialog also where a runner is installed (the service
// tool's console). Off by default.
void SetHeadless(bool headless);
bool IsHeadless();

// Cancels every operation running in the process, as the dialog's Cancel does (the
// service tool's Ctrl+C); safe from any thread. Returns how many were running.
int CancelRunning();

} // namespace DispenserScenario
