// The scenario thread: the worker that runs one operation's body, talks to the device
// through device requests, and asks the operator in debug mode.
#pragma once

#include "MTSys/window_client_thread.h"
#include "Plugin/Dispenser/scenario.h"

#include <cstdint>
#include <string>

class DispenserQuery;

namespace DispenserScenario {

class ScenarioThread : public MTSys::WindowClientThread {
public:
    // `dialog` owns the message boxes the thread raises (may be null).
    ScenarioThread(Request& request, WindowHandle dialog);

    // Performs one device request and returns true when the device answered. A failure
    // raises OVAppException with its text, or with `collectErrors` appends the text to
    // the error list and returns false. When the operation is cancelled while a
    // note-moving command is with the device, the answer is still awaited and counted
    // (true); the body then ends the operation before any further command.
    bool ExecuteQuery(DispenserQuery& query, bool collectErrors);

    static constexpr const char* kDebugTitle = "Диспенсер: отладочный режим";

protected:
    int ClientThreadFunc() override;

    bool DoRomVersion();
    bool DoStatus();
    bool DoPurge();
    bool DoTestReject();
    bool DoDispense();

private:
    void Say(int category, const char* format, ...) ORVANE_PRINTF(3, 4);
    // Yes (6) or not, asked in a debug-mode box owned by the dialog.
    bool AskOperator(const std::string& text);
    int Ask(const std::string& text, int style, int cautious = 0);
    // Raises "%s: операция прервана" when the operation was cancelled.
    void StopIfCancelled();
    void CheckEnabled(const DispenserControl::Settings& settings);
    // A DWORD of the dispenser key ("MaxDispense", "RejectFactor", ...), or `fallback`
    // when it does not exist.
    static std::uint32_t OperationValue(const char* name, std::uint32_t fallback);
    // Before any note moves: the store of the counters opens for writing and every
    // value the bookkeeping reads can be read, so that no such failure comes after
    // notes have left the device and loses their count.
    void CheckCounterStore(bool cassette1, bool cassette2);

    Request& request_;
    WindowHandle dialog_;
    std::string name_;
};

} // namespace DispenserScenario
