// The soak: many payouts of random amounts from both cassettes against the simulated
// dispenser, with random link and device faults and random cancels. After every
// payout each note the device moved is in the outputs, the registry counters and the
// journal, and the counters still track the cassettes; no operation may hang.
//   SOAK_PAYOUTS  number of payouts (default 60)
//   SOAK_SEED     seed of the random choices (default fixed, printed)
#include "Plugin/Dispenser/counter_records.h"
#include "Plugin/Dispenser/dispenser_log.h"
#include "tests/integration/scenarios/scenario_fixture.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <random>
#include <thread>

namespace {

constexpr unsigned kDefaultPayouts = 60;
constexpr unsigned kDefaultSeed = 20261208;
constexpr auto kHangLimit = std::chrono::seconds(120); // no payout comes near this
constexpr unsigned kRefillBelow = 150;
constexpr unsigned kRefillTo = 1000;

unsigned EnvironmentNumber(const char* name, unsigned fallback)
{
    const char* text = std::getenv(name);
    if (text == nullptr || *text == '\0')
        return fallback;
    return static_cast<unsigned>(std::strtoul(text, nullptr, 10));
}

// Runs `work` and ends the process when it does not come back in time: a hung
// operation would otherwise hang the whole run.
template <typename Work>
auto WithWatchdog(const std::string& what, Work work)
{
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    std::thread watchdog([&] {
        std::unique_lock lock(mutex);
        if (!done.wait_for(lock, kHangLimit, [&] { return finished; })) {
            std::fprintf(stderr, "soak: %s did not end within %lld s\n", what.c_str(),
                         static_cast<long long>(kHangLimit.count()));
            std::fflush(stderr);
            std::abort();
        }
    });
    auto result = work();
    {
        std::lock_guard lock(mutex);
        finished = true;
    }
    done.notify_one();
    watchdog.join();
    return result;
}

// Cancels whatever runs after `delay`, unless told to stand down first.
class DelayedCancel {
public:
    explicit DelayedCancel(std::chrono::milliseconds delay)
        : thread_([this, delay] {
              std::unique_lock lock(mutex_);
              if (!standDown_.wait_for(lock, delay, [this] { return over_; }))
                  reached_ = DispenserScenario::CancelRunning();
          })
    {
    }
    ~DelayedCancel() { Finish(); }
    DelayedCancel(const DelayedCancel&) = delete;
    DelayedCancel& operator=(const DelayedCancel&) = delete;

    // Stands down when the cancel has not been made yet; returns how many running
    // operations the cancel reached.
    int Finish()
    {
        if (thread_.joinable()) {
            {
                std::lock_guard lock(mutex_);
                over_ = true;
            }
            standDown_.notify_one();
            thread_.join();
        }
        return reached_;
    }

private:
    std::mutex mutex_;
    std::condition_variable standDown_;
    bool over_ = false;
    int reached_ = 0;
    std::thread thread_;
};

class Soak : public ScenarioTest {
protected:
    std::mt19937 random_;

    unsigned Uniform(unsigned low, unsigned high)
    {
        return std::uniform_int_distribution<unsigned>(low, high)(random_);
    }
    bool Chance(double p) { return std::bernoulli_distribution(p)(random_); }
};

TEST_F(Soak, PayoutsUnderFaultsAndCancelsLoseNoNote)
{
    const unsigned payouts = EnvironmentNumber("SOAK_PAYOUTS", kDefaultPayouts);
    const unsigned seed = EnvironmentNumber("SOAK_SEED", kDefaultSeed);
    std::printf("soak: %u payouts, seed %u (SOAK_PAYOUTS, SOAK_SEED)\n", payouts, seed);
    std::fflush(stdout);
    random_.seed(seed);

    SetUpDevice("LCDM-2000", kRefillTo, kRefillTo);
    const auto started = std::chrono::steady_clock::now();

    // Notes the registry believes are in a cassette and the device does not hold: a
    // note a jam left in the transport, notes of a command whose answer never came,
    // notes taken out behind the plug-in's back. A bill-end reset or a refill clears it.
    unsigned lost[2] = {0, 0};
    // Notes in the bin the reject counter never heard of (purged jams, unanswered commands).
    unsigned binUnknown = 0;
    std::map<std::string, unsigned> faults;
    unsigned done = 0, cancels = 0, notesPaid = 0, notesRejected = 0, failed = 0, inDoubt = 0;

    for (unsigned n = 0; n < payouts && !HasFailure(); ++n, ++done) {
        SimulatorTruth truth = device_->Truth();
        for (int c = 1; c <= 2; ++c) {
            if ((c == 1 ? truth.cassette1 : truth.cassette2) < kRefillBelow) {
                device_->Fault("set-count:" + std::to_string(c) + ":" + std::to_string(kRefillTo));
                SubKey(c == 1 ? "Cassette\\1" : "Cassette\\2")["Count"] = kRefillTo;
                lost[c - 1] = 0;
            }
        }
        truth = device_->Truth();

        const unsigned count1 = Chance(0.15) ? 0 : Uniform(1, 90);
        const unsigned count2 = Chance(0.15) ? 0 : Uniform(1, 90);
        std::string fault;
        unsigned noteMs = 0;
        const unsigned kind = Uniform(0, 99);
        if (kind < 30) {
            // none
        } else if (kind < 40) {
            fault = "nak:" + std::to_string(Uniform(1, 3));
        } else if (kind < 50) {
            fault = "bad-bcc:" + std::to_string(Uniform(1, 2)); // within the retries
        } else if (kind < 55) {
            // The device pays and its answer is lost, cut short beyond the retries, out
            // of range, or claims a note more than it paid.
            const char* const lostAnswers[] = {"mute:1", "short:3", "bad-payload:1", "over-count:1"};
            fault = lostAnswers[Uniform(0, 3)];
        } else if (kind < 70) {
            fault = "reject-every:" + std::to_string(Uniform(2, 8));
        } else if (kind < 80) {
            fault = "jam-after:" + std::to_string(Uniform(0, 20));
        } else if (kind < 85) {
            const unsigned c = Uniform(1, 2);
            fault = "empty:" + std::to_string(c);
            lost[c - 1] += c == 1 ? truth.cassette1 : truth.cassette2;
        } else {
            noteMs = Uniform(2, 8);
            fault = "note-ms:" + std::to_string(noteMs);
        }
        // Passes of random size, up to the device's 60 notes (with rejects, 60 notes count
        // past 69 at the check sensors).
        MainKey()["MaxDispense"] = Uniform(5, 60);
        const bool muted = fault == "mute:1";
        const bool answerLost = muted || fault == "short:3" || fault == "bad-payload:1" || fault == "over-count:1";
        // A lost answer is given up after short time-outs.
        MainKey()["DeviceResponseTimeout"] = muted ? 300 : 3000;
        if (!fault.empty()) {
            device_->Fault(fault);
            ++faults[fault.substr(0, fault.find(':'))];
        }
        const bool cancel = Chance(0.2);
        const auto cancelAfter = std::chrono::milliseconds(
            noteMs > 0 ? Uniform(0, (count1 + count2) * noteMs) : Uniform(0, 120));

        const std::string what = "payout " + std::to_string(n) + " (" + std::to_string(count1) + ", " +
                                 std::to_string(count2) + "), fault '" + fault + "'" +
                                 (cancel ? ", cancel after " + std::to_string(cancelAfter.count()) + " ms" : "");
        SCOPED_TRACE(what);
        const Ledger before = TakeLedger();
        int reached = 0;
        const Payout payout = WithWatchdog(what, [&] {
            std::unique_ptr<DelayedCancel> canceller;
            if (cancel)
                canceller = std::make_unique<DelayedCancel>(cancelAfter);
            const Payout result = Dispense(count1, count2);
            if (canceller)
                reached = canceller->Finish();
            return result;
        });
        cancels += reached > 0 ? 1 : 0;
        device_->Fault("clear");

        const SimulatorTruth after = device_->Truth();
        const unsigned commands = after.commands - before.truth.commands;
        const unsigned taken[2] = {after.taken1 - before.truth.taken1, after.taken2 - before.truth.taken2};
        const unsigned exits[2] = {after.exit1 - before.truth.exit1, after.exit2 - before.truth.exit2};
        const unsigned rejects[2] = {after.rejected1 - before.truth.rejected1,
                                     after.rejected2 - before.truth.rejected2};
        const unsigned requested[2] = {count1, count2};
        const unsigned dispensed[2] = {payout.dispensed1, payout.dispensed2};
        const Texts records = RecordsSince(before);

        for (int c = 0; c < 2; ++c)
            EXPECT_LE(exits[c], requested[c]) << "paid out more than asked from cassette #" << c + 1;
        if (!payout.result) {
            ++failed;
            EXPECT_FALSE(payout.errors.empty());
            const unsigned unknown[2] = {payout.unknown1, payout.unknown2};
            for (int c = 0; c < 2; ++c) {
                // Notes in doubt are not "not paid": their UNKNOWN records stand for them.
                const unsigned owed = requested[c] - dispensed[c] - unknown[c];
                const Texts failures = RecordsOf(records, "FAILURE", "кассеты #" + std::to_string(c + 1) + ":");
                EXPECT_EQ(failures.size(), owed > 0 ? 1u : 0u);
                if (!failures.empty()) {
                    EXPECT_EQ(RecordValue(failures.front()), owed);
                }
            }
        }

        if (answerLost && commands > 0) {
            // The device paid out and never said so credibly: the pass is in doubt,
            // nothing is counted, and its notes' fate is told to the kiosk.
            EXPECT_EQ(commands, 1u);
            EXPECT_FALSE(payout.result);
            EXPECT_EQ(payout.dispensed1 + payout.dispensed2 + payout.rejected1 + payout.rejected2, 0u);
            EXPECT_GT(payout.unknown1 + payout.unknown2, 0u);
            EXPECT_TRUE(RecordsOf(records, "DISPENSED").empty());
            EXPECT_EQ(CassetteCount(1), before.cassette[0]);
            EXPECT_EQ(CassetteCount(2), before.cassette[1]);
            EXPECT_EQ(RejectCount(), before.reject);
            EXPECT_TRUE(MainKey().HasSubkey("Pending"));
            const unsigned unknown[2] = {payout.unknown1, payout.unknown2};
            for (int c = 0; c < 2; ++c) {
                EXPECT_LE(exits[c], unknown[c]) << "notes out beyond those in doubt, cassette #" << c + 1;
                EXPECT_EQ(SumOf(RecordsOf(records, "UNKNOWN", "кассета #" + std::to_string(c + 1) + ":")), unknown[c]);
            }
            // No note moves until a technician counts: the next payout is refused
            // before a frame reaches the device.
            const unsigned framesBefore = device_->Truth().framesIn;
            const Payout refused = Dispense(1, 0);
            EXPECT_FALSE(refused.result);
            EXPECT_EQ(device_->Truth().framesIn, framesBefore);
            // The technician's count: what the device really took.
            DispenserControl::Settings store(true);
            auto& logs = *DispenserLogHandler::Instance();
            for (int c = 0; c < 2; ++c) {
                if (unknown[c] == 0)
                    continue;
                const DispenserControl::CountRange range = DispenserControl::ExpectedCassetteRange(store, c + 1);
                const unsigned counted = CassetteCount(c + 1) - taken[c];
                EXPECT_TRUE(range.Holds(counted) || rejects[c] > 0) << "the count lies outside the range in doubt";
                DispenserControl::ReconcileCassette(store, c + 1, counted, logs);
                EXPECT_EQ(CassetteCount(c + 1), counted);
            }
            DispenserControl::ReconcileReject(store, RejectCount() + (after.rejectBin - before.truth.rejectBin), logs);
            EXPECT_FALSE(MainKey().HasSubkey("Pending"));
            ++inDoubt;
        } else {
            ExpectAccounted(before, payout);
            for (int c = 0; c < 2; ++c) {
                // Picked and neither out nor rejected: held in the transport by a jam.
                const unsigned held = taken[c] - exits[c] - rejects[c];
                EXPECT_TRUE(held == 0 || fault.rfind("jam-after", 0) == 0)
                    << "a note vanished from cassette #" << c + 1;
                lost[c] += held;
            }
            EXPECT_EQ(after.inPath, before.truth.inPath + (taken[0] - exits[0] - rejects[0]) +
                                        (taken[1] - exits[1] - rejects[1]));
        }
        for (int c = 0; c < 2; ++c) {
            if (!RecordsOf(records, "COUNT", "кассете #" + std::to_string(c + 1) + " диспенсера").empty())
                lost[c] = 0; // bill-end: the counter was set to what the empty cassette holds
        }
        notesPaid += exits[0] + exits[1];
        notesRejected += rejects[0] + rejects[1];

        if (after.inPath > 0) {
            // A jam: the service purges the transport before the next customer.
            const unsigned bin = after.rejectBin;
            Texts errors;
            EXPECT_TRUE(WithWatchdog("purge after " + what,
                                     [&] { return DispenserScenario::Purge(nullptr, &errors); }))
                << ::testing::PrintToString(errors);
            const SimulatorTruth purged = device_->Truth();
            EXPECT_EQ(purged.inPath, 0u);
            binUnknown += purged.rejectBin - bin;
        }

        const SimulatorTruth now = device_->Truth();
        EXPECT_EQ(CassetteCount(1), now.cassette1 + lost[0]) << "cassette #1 counter";
        EXPECT_EQ(CassetteCount(2), now.cassette2 + lost[1]) << "cassette #2 counter";
        EXPECT_EQ(RejectCount() + binUnknown, now.rejectBin) << "reject counter";
    }

    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::string faultFigures;
    unsigned faultCount = 0;
    for (const auto& [name, count] : faults) {
        faultFigures += " " + name + ":" + std::to_string(count);
        faultCount += count;
    }
    std::printf("soak: %u payouts (%u failed, %u in doubt and reconciled), %u notes paid out, %u rejected, %u faults "
                "(%s ), %u cancelled, %.1f s, seed %u\n",
                done, failed, inDoubt, notesPaid, notesRejected, faultCount, faultFigures.c_str(), cancels, seconds,
                seed);
    std::fflush(stdout);
}

} // namespace
