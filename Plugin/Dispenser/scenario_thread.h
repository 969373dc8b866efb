// The scenario thread: the worker that runs one operation's body, talks to the device
// through device requests, and asks the operator in debug mode.
#pragma once

#include "MTSys/window_client_thread.h"
#include "Plugin/Dispenser/scenario.h"
#include "framework/exceptions.h"

#include <functional>

#include <cstdint>
#include <optional>
#include <string>

class DispenserPort;
class DispenserQuery;

namespace DispenserScenario {

// What one device command (or one debug-mode answer) did. Per cassette, index 0 is
// #1 (upper), index 1 is #2 (lower).
struct PassOutcome {
    std::uint32_t asked[2] = {0, 0};    // notes asked of the cassette
    std::uint32_t checked[2] = {0, 0};  // notes that passed the check sensors
    std::uint32_t out[2] = {0, 0};      // notes that left through the exit
    std::uint32_t rejected[2] = {0, 0}; // notes into the reject bin, as the device counts them
    bool billEnd[2] = {false, false};   // the device reported the cassette empty
    std::uint8_t code = 0;              // the device's result code
};

// Which operation a pass belongs to: each writes its own texts.
enum class PassKind { Payout, TestReject };

// A pass whose command may have been carried out without a valid answer: its notes
// may have left the machine, and they stay in doubt until a technician's count.
class PassInDoubt : public OVAppException {
public:
    PassInDoubt(const std::uint32_t (&asked)[2], const std::string& cause)
        : OVAppException(cause), asked_{asked[0], asked[1]}
    {
    }
    std::uint32_t Asked(int c) const { return asked_[c]; }

private:
    std::uint32_t asked_[2];
};

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
    struct PayoutTotals;

    // Books a pass into the counters and the operations log: "RejectFactor" on the
    // rejected notes, the counter of a cassette reported empty set to 0, the reject
    // bin, then each cassette's counter less its notes out and rejected. Every counter
    // change is one read-modify-write with its record.
    void BookPass(const PassOutcome& pass, PassKind kind);

    // One pass of notes: the write-ahead marker and PENDING records, the command (which
    // raises PassInDoubt when it may have run without a valid answer), the answer's
    // check against what was asked, its booking, and the marker removed. Any failure
    // once the command may have run leaves the pass in doubt (PassInDoubt).
    // `answered` sees the checked answer before it is booked.
    PassOutcome MoveNotes(PassKind kind, const std::uint32_t (&asked)[2], const std::function<PassOutcome()>& command,
                          const std::function<void(const PassOutcome&)>& answered);
    // Before a note-moving command: the marker and the PENDING records on stable
    // storage; a failure of either sends nothing and raises with the store it names.
    void WriteAhead(PassKind kind, const std::uint32_t (&asked)[2]);
    // Rethrows the exception being handled, as PassInDoubt when the query's command may
    // have run: the one way a failed command is judged.
    [[noreturn]] static void RethrowForCommand(const DispenserQuery& query, const std::uint32_t (&asked)[2]);
    // Raises PassInDoubt for an answer that cannot be booked as it stands: more notes
    // out than asked, or any note counted for a cassette not asked.
    static void CheckAnswer(const PassOutcome& pass);
    // The UNKNOWN records and trace of a pass in doubt; returns the operator's text for the caller to report.
    std::string ReportPassInDoubt(const PassInDoubt& doubt);
    // Refuses a note-moving operation while an earlier pass is in doubt.
    void RefuseWhilePassInDoubt();
    // An operations-log record; in debug mode its comment says so.
    void Record(unsigned code, const char* word, unsigned value, const std::string& comment);

    // The payout's refusals before any note moves.
    void CheckPayoutLimits(DispenserControl::Settings& settings, const PayoutTotals& totals);
    // One pass of the payout through the device: `chunk` notes of each cassette.
    PassOutcome DevicePass(DispenserPort& port, const std::uint32_t (&chunk)[2]);
    // One note in debug mode, the operator's answer deciding its fate; nothing when the
    // operator stops the payout.
    std::optional<PassOutcome> DebugPass(DispenserControl::Settings& settings, const PayoutTotals& totals);
    // A pass's trace lines and, for a device error, its ERROR record.
    void TracePass(const std::uint32_t (&chunk)[2], const PassOutcome& pass);
    // The pass's notes added to the running totals (the device's own rejected counts).
    static void AddToTotals(PayoutTotals& totals, const PassOutcome& pass);
    // After a pass in which a cassette still owed gave nothing: its ABORT records; true
    // when no cassette can give more.
    bool StopOnEmptyCassettes(const PayoutTotals& totals, const PassOutcome& pass);
    // The handling of a payout that failed: the texts and FAILURE records.
    void ReportPayoutFailure(const PayoutTotals& totals, const std::string& reason);
    // On every way out of the payout: DISPENSED records and the outputs.
    void FinishPayout(const PayoutTotals& totals);

    void Say(int category, const char* format, ...) ORVANE_PRINTF(3, 4);
    // Yes (6) or not, asked in a debug-mode box owned by the dialog.
    bool AskOperator(const std::string& text);
    int Ask(const std::string& text, int style, int cautious = 0);
    // "Ошибка устройства, код %u (%02XH)." for a device result code.
    static std::string DeviceErrorText(std::uint8_t code);
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
    bool debug_ = false; // the operator answers for the device
};

} // namespace DispenserScenario
