// A configured dispenser for scenario tests: the simulated device on its port, the
// settings of an LCDM-2000 (or LCDM-1000) with two tracked cassettes, and the logs
// in a folder of the test's own. Reads back the counters and the day's journal.
#pragma once

#include "Plugin/Dispenser/dispenser_log.h"
#include "Plugin/Dispenser/scenario.h"
#include "Plugin/Dispenser/settings.h"
#include "framework/messages.h"
#include "framework/registry.h"
#include "tests/support/simulated_dispenser.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

class ScenarioTest : public ::testing::Test {
protected:
    using Texts = std::vector<std::string>;

    // Counts of notes in the two cassettes of the device and of the registry.
    void SetUpDevice(const std::string& model = "LCDM-2000", unsigned cassette1 = 200, unsigned cassette2 = 200)
    {
        // Headless, as the service tool runs them: the operator dialog has tests of its own.
        DispenserScenario::SetHeadless(true);
        DispenserLogHandler::Release();
        device_ = std::make_unique<SimulatedDispenser>(model, cassette1, cassette2);
        RegKey key = MainKey();
        key["Device"] = model;
        key["Disabled"] = 0;
        key["Debug"] = 0;
        key["Off"] = 0;
        key["Port"] = device_->PortName();
        key["LogDir"] = folder_.File("journal");
        key["DebugLog"] = folder_.File("trace.txt");
        key["ReadTotalTimeoutConstant"] = 300;
        key["DeviceResponseTimeout"] = 3000;
        for (int c = 1; c <= 2; ++c) {
            RegKey cassette(key, c == 1 ? "Cassette\\1" : "Cassette\\2", true, RegAccessAll);
            cassette["Denomination"] = c == 1 ? 1000 : 500;
            cassette["Count"] = c == 1 ? cassette1 : cassette2;
            cassette["Flags"] = 0x3; // in use, counted
        }
        RegKey reject(key, "Reject", true, RegAccessAll);
        reject["Count"] = 0;
        reject["Flags"] = 0x1;
        // The journal opens now, so that its OPEN record comes before any test's ledger.
        DispenserLogHandler::Instance();
    }

    void TearDown() override
    {
        DispenserLogHandler::Release();
        DispenserScenario::SetHeadless(false);
    }

    static RegKey MainKey()
    {
        return RegKey(RegistryRoot::LocalMachine, DispenserControl::kSettingsKey, true, RegAccessAll);
    }
    static RegKey SubKey(const std::string& path) { return RegKey(MainKey(), path, true, RegAccessAll); }
    static std::uint32_t CassetteCount(int c)
    {
        return SubKey(c == 1 ? "Cassette\\1" : "Cassette\\2")["Count"].Dword();
    }
    static std::uint32_t RejectCount() { return SubKey("Reject")["Count"].Dword(); }

    // The records of the journal: each line without its date, time and category.
    std::vector<std::string> Journal()
    {
        std::vector<std::string> records;
        const std::string day = FormatDay();
        std::istringstream stream(ReadFileBytes(folder_.File("journal") + "/" + day + ".txt"));
        for (std::string line; std::getline(stream, line);) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (line.size() > 30)
                records.push_back(line.substr(30));
        }
        return records;
    }
    // The journal records of one event word.
    std::vector<std::string> JournalOf(const std::string& word)
    {
        std::vector<std::string> found;
        for (const std::string& record : Journal()) {
            if (record.find("\t" + word + "\t") != std::string::npos)
                found.push_back(record);
        }
        return found;
    }
    std::string Trace() const { return ReadFileBytes(folder_.File("trace.txt")); }

    struct Payout {
        bool result = false;
        unsigned dispensed1 = 0, dispensed2 = 0, rejected1 = 0, rejected2 = 0;
        unsigned unknown1 = 0, unknown2 = 0;
        Texts errors;
    };
    Payout Dispense(unsigned count1, unsigned count2)
    {
        Payout payout;
        DispenserScenario::PayoutResult paid;
        payout.result = DispenserScenario::Dispense(nullptr, &payout.errors, count1, count2, paid);
        payout.dispensed1 = paid.dispensed[0];
        payout.dispensed2 = paid.dispensed[1];
        payout.rejected1 = paid.rejected[0];
        payout.rejected2 = paid.rejected[1];
        payout.unknown1 = paid.unknown[0];
        payout.unknown2 = paid.unknown[1];
        return payout;
    }

    // The value field of a journal record ("10\tCOUNT\t195\t;...": 195).
    static std::uint64_t RecordValue(const std::string& record)
    {
        const std::size_t first = record.find('\t');
        const std::size_t second = first == std::string::npos ? first : record.find('\t', first + 1);
        return second == std::string::npos ? 0 : std::strtoull(record.c_str() + second + 1, nullptr, 10);
    }
    // The records of `word` among `records` whose comment holds `part`.
    static Texts RecordsOf(const Texts& records, const std::string& word, const std::string& part = "")
    {
        Texts found;
        for (const std::string& record : records) {
            if (record.find("\t" + word + "\t") != std::string::npos && record.find(part) != std::string::npos)
                found.push_back(record);
        }
        return found;
    }
    static std::uint64_t SumOf(const Texts& records)
    {
        std::uint64_t sum = 0;
        for (const std::string& record : records)
            sum += RecordValue(record);
        return sum;
    }

    // Where the money is at one moment: the device's ground truth, the registry
    // counters and the length of the journal.
    struct Ledger {
        SimulatorTruth truth;
        std::uint32_t cassette[2] = {0, 0};
        std::uint32_t reject = 0;
        std::size_t records = 0;
    };
    Ledger TakeLedger()
    {
        Ledger ledger;
        ledger.truth = device_->Truth();
        ledger.cassette[0] = CassetteCount(1);
        ledger.cassette[1] = CassetteCount(2);
        ledger.reject = RejectCount();
        ledger.records = Journal().size();
        return ledger;
    }
    // The journal records written since `before` was taken, without the write-ahead
    // PENDING records (their own tests check them).
    Texts RecordsSince(const Ledger& before)
    {
        Texts records = Journal();
        records.erase(records.begin(), records.begin() + static_cast<std::ptrdiff_t>(
                                                             std::min(before.records, records.size())));
        std::erase_if(records, [](const std::string& record) { return record.find("\tPENDING\t") != std::string::npos; });
        return records;
    }

    // A payout made since `before` is accounted for everywhere: its outputs are what
    // the device paid out and rejected, the DISPENSED and REJECT records say the same,
    // the reject counter grew by the rejected notes times the factor, and each
    // counted cassette fell by its dispensed and weighted rejected notes (or was set to
    // 0 on bill-end), its last COUNT record telling the new value.
    void ExpectAccounted(const Ledger& before, const Payout& payout, std::uint32_t rejectFactor = 1)
    {
        const Ledger after = TakeLedger();
        const Texts records = RecordsSince(before);
        const unsigned dispensed[2] = {payout.dispensed1, payout.dispensed2};
        const unsigned rejected[2] = {payout.rejected1, payout.rejected2};
        const unsigned exits[2] = {after.truth.exit1 - before.truth.exit1, after.truth.exit2 - before.truth.exit2};
        const unsigned rejects[2] = {after.truth.rejected1 - before.truth.rejected1,
                                     after.truth.rejected2 - before.truth.rejected2};
        for (int c = 0; c < 2; ++c) {
            SCOPED_TRACE("cassette #" + std::to_string(c + 1));
            EXPECT_EQ(dispensed[c], exits[c]) << "notes out of the exit";
            EXPECT_EQ(rejected[c], rejects[c]) << "notes into the reject bin";
            const std::string tag = "кассеты #" + std::to_string(c + 1) + ":";
            const Texts dispensedRecords = RecordsOf(records, "DISPENSED", tag);
            EXPECT_EQ(dispensedRecords.size(), dispensed[c] > 0 ? 1u : 0u);
            EXPECT_EQ(SumOf(dispensedRecords), dispensed[c]);

            const std::string number = "кассете #" + std::to_string(c + 1);
            const bool reset = !RecordsOf(records, "COUNT", number + " диспенсера").empty();
            const std::uint64_t used = dispensed[c] + std::uint64_t{rejectFactor} * rejected[c];
            const std::uint32_t expected =
                reset ? 0u : static_cast<std::uint32_t>(used > before.cassette[c] ? 0 : before.cassette[c] - used);
            EXPECT_EQ(after.cassette[c], expected) << "registry count";
            const Texts counts = RecordsOf(records, "COUNT", number);
            if (after.cassette[c] != before.cassette[c] || reset) {
                ASSERT_FALSE(counts.empty());
                EXPECT_EQ(RecordValue(counts.back()), after.cassette[c]);
            }
        }
        const std::uint64_t weighted = std::uint64_t{rejectFactor} * (rejected[0] + rejected[1]);
        EXPECT_EQ(SumOf(RecordsOf(records, "REJECT")), weighted);
        EXPECT_EQ(after.reject - before.reject, weighted) << "reject counter";
        if (payout.result) {
            EXPECT_TRUE(RecordsOf(records, "FAILURE").empty()) << "a payout that succeeded failed nothing";
        }
        EXPECT_FALSE(MainKey().HasSubkey("Pending")) << "a booked payout leaves no pass in doubt";
    }

    // The registry believes what the device holds: each cassette's counter is the
    // notes in it (a note held in the transport by a jam still counts as in its
    // cassette, since no answer reported it).
    void ExpectRegistryMatchesDevice()
    {
        const SimulatorTruth truth = device_->Truth();
        EXPECT_EQ(CassetteCount(1) + CassetteCount(2), truth.cassette1 + truth.cassette2 + truth.inPath);
        if (truth.inPath == 0) {
            EXPECT_EQ(CassetteCount(1), truth.cassette1);
            EXPECT_EQ(CassetteCount(2), truth.cassette2);
        }
    }

    TestRegistry registry_;
    TempFolder folder_;
    std::unique_ptr<SimulatedDispenser> device_;

private:
    static std::string FormatDay()
    {
        const CalendarTime now = Now().Calendar();
        char text[16];
        std::snprintf(text, sizeof text, "%04d-%02d-%02d", now.year, now.month, now.day);
        return text;
    }
};

// Answers message boxes from a script for the life of the object.
class ScriptedOperator {
public:
    explicit ScriptedOperator(std::vector<int> answers) : answers_(std::move(answers))
    {
        previous_ = SetOperatorPromptHook([this](const OperatorPrompt& prompt) {
            asked.push_back(prompt.text);
            return next_ < answers_.size() ? answers_[next_++] : ButtonCancel;
        });
    }
    ~ScriptedOperator() { SetOperatorPromptHook(previous_); }

    std::vector<std::string> asked;

private:
    std::vector<int> answers_;
    std::size_t next_ = 0;
    OperatorPromptHook previous_;
};

// Cancels the running operation as soon as the device begins to pick notes of its
// next command (it has acknowledged it); gives up waiting after a generous time.
class CancelWhenPicking {
public:
    explicit CancelWhenPicking(SimulatedDispenser& device)
    {
        const auto picked = [&device] {
            const SimulatorTruth truth = device.Truth();
            return truth.taken1 + truth.taken2;
        };
        const unsigned before = picked();
        thread_ = std::thread([this, picked, before] {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (picked() == before && std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            cancelled = DispenserScenario::CancelRunning();
        });
    }
    ~CancelWhenPicking() { Join(); }
    CancelWhenPicking(const CancelWhenPicking&) = delete;
    CancelWhenPicking& operator=(const CancelWhenPicking&) = delete;

    void Join()
    {
        if (thread_.joinable())
            thread_.join();
    }

    // How many operations the cancel reached; -1 until it was made.
    std::atomic<int> cancelled{-1};

private:
    std::thread thread_;
};
