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

#include <memory>
#include <sstream>
#include <string>
#include <vector>

class ScenarioTest : public ::testing::Test {
protected:
    using Texts = std::vector<std::string>;

    // Counts of notes in the two cassettes of the device and of the registry.
    void SetUpDevice(const std::string& model = "LCDM-2000", unsigned cassette1 = 200, unsigned cassette2 = 200)
    {
        DispenserLogHandler::Release();
        device_ = std::make_unique<SimulatedDispenser>(model, cassette1, cassette2);
        RegKey key = MainKey();
        key["Device"] = model;
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
    }

    void TearDown() override { DispenserLogHandler::Release(); }

    static RegKey MainKey()
    {
        return RegKey(RegistryRoot::LocalMachine, DispenserControl::kSettingsKey, true, RegAccessAll);
    }
    static RegKey SubKey(const std::string& path) { return RegKey(MainKey(), path, true, RegAccessAll); }
    static std::uint32_t CassetteCount(int c) { return SubKey(c == 1 ? "Cassette\\1" : "Cassette\\2")["Count"].Dword(); }
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
        Texts errors;
    };
    Payout Dispense(unsigned count1, unsigned count2)
    {
        Payout payout;
        payout.result = DispenserScenario::Dispense(nullptr, &payout.errors, count1, count2, &payout.dispensed1,
                                                    &payout.dispensed2, &payout.rejected1, &payout.rejected2);
        return payout;
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
