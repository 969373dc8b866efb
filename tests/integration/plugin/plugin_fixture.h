// The kiosk host in miniature for the extenders: a plug-in context with its failed
// flag and current session, a terminal that records what it is told, the dispenser's
// settings in a scratch registry (with the simulated device when a test wants one),
// and the plug-in's application log caught line by line.
#pragma once

#include "Plugin/Dispenser/dispenser_log.h"
#include "Plugin/Dispenser/scenario.h"
#include "Plugin/Dispenser/settings.h"
#include "Plugin/Plugin/amount_split.h"
#include "Plugin/Plugin/application_log.h"
#include "Plugin/Plugin/plugin_context.h"
#include "Plugin/Plugin/publication.h"
#include "Plugin/Plugin/readiness.h"
#include "Plugin/Plugin/session_events.h"
#include "Plugin/Plugin/terminal_events.h"
#include "framework/app_log.h"
#include "framework/registry.h"
#include "tests/support/simulated_dispenser.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_registry.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

// The plug-in object as the extenders see it. SetFailed behaves as the plug-in's (the
// flag first, then "Dispenser.Failed" in the current session); reports to the host
// are only recorded.
class FakePluginContext : public Plugin::PluginContext {
public:
    bool IsFailed() const override { return failed; }
    void SetFailed(bool value) override
    {
        failed = value;
        current->SetBool("Dispenser.Failed", value);
    }
    void ReportFailure(bool value) override { reports.push_back(value); }
    void WithCurrentSession(const std::function<void(SessionVariables&)>& use) override { use(*current); }
    WindowHandle MainWindow() const override { return nullptr; }

    bool failed = false;
    std::vector<bool> reports;
    MapSession session;
    SessionVariables* current = &session; // the host's current session
};

// A session of a host that fails on one variable: reading or writing it raises
// whatever `fail` throws.
class FailingSession : public MapSession {
public:
    FailingSession(std::string name, std::function<void()> fail) : name_(std::move(name)), fail_(std::move(fail)) {}
    std::string GetValue(const std::string& name) override
    {
        FailOn(name);
        return MapSession::GetValue(name);
    }
    void SetValue(const std::string& name, const std::string& text) override
    {
        FailOn(name);
        MapSession::SetValue(name, text);
    }

private:
    void FailOn(const std::string& name)
    {
        if (name == name_)
            fail_();
    }
    std::string name_;
    std::function<void()> fail_;
};

// The host's terminal: every SetDeviceFailed call, in order.
class RecordingTerminal : public Plugin::DeviceStateSink {
public:
    void SetDeviceFailed(const std::string& device, bool failed) override { calls.emplace_back(device, failed); }
    std::vector<std::pair<std::string, bool>> calls;
};

class PluginTest : public ::testing::Test {
protected:
    using Variables = std::map<std::string, std::string>;

    void SetUp() override
    {
        // Headless, as the service tool runs operations: the dialog has tests of its own.
        DispenserScenario::SetHeadless(true);
        DispenserLogHandler::Release();
        applicationLog_.SetRecordObserver([this](int category, const std::string& line) {
            std::lock_guard lock(logMutex_);
            if (category == AppLog::Error)
                loggedErrors_.push_back(line);
        });
        Plugin::SetApplicationLog(&applicationLog_);
    }
    void TearDown() override
    {
        Plugin::SetApplicationLog(nullptr);
        DispenserLogHandler::Release();
        DispenserScenario::SetHeadless(false);
    }

    // An LCDM-2000 (or LCDM-1000) in use on the port "COM7", where nothing answers:
    // cassette 1 of 1000 and cassette 2 of 500 roubles, both in use and counted; the
    // reject bin counted and empty; no limit enforced, also when an earlier call set one.
    void Configure(const std::string& model = "LCDM-2000", std::uint32_t count1 = 200, std::uint32_t count2 = 200)
    {
        RegKey key = MainKey();
        key["Device"] = model;
        for (const char* name : {"Disabled", "Debug", "Flags", "Off"})
            key[name] = 0;
        key["Port"] = "COM7";
        key["LogDir"] = folder_.File("journal");
        key["DebugLog"] = folder_.File("trace.txt");
        key["ReadTotalTimeoutConstant"] = 300;
        key["DeviceResponseTimeout"] = 3000;
        for (int c = 1; c <= 2; ++c) {
            RegKey cassette = SubKey(CassetteKey(c));
            cassette["Denomination"] = c == 1 ? 1000 : 500;
            cassette["Count"] = c == 1 ? count1 : count2;
            cassette["Flags"] = 0x3;
        }
        RegKey reject = SubKey("Reject");
        reject["Count"] = 0;
        reject["Flags"] = 0x1;
    }
    // Configure() with the simulated device on the port, holding the same notes.
    void ConfigureDevice(const std::string& model = "LCDM-2000", std::uint32_t count1 = 200, std::uint32_t count2 = 200)
    {
        Configure(model, count1, count2);
        device_ = std::make_unique<SimulatedDispenser>(model, count1, count2);
        MainKey()["Port"] = device_->PortName();
    }

    static const char* CassetteKey(int c) { return c == 1 ? "Cassette\\1" : "Cassette\\2"; }
    static RegKey MainKey()
    {
        return RegKey(RegistryRoot::LocalMachine, DispenserControl::kSettingsKey, true, RegAccessAll);
    }
    static RegKey SubKey(const std::string& path) { return RegKey(MainKey(), path, true, RegAccessAll); }
    static std::uint32_t CassetteCount(int c) { return SubKey(CassetteKey(c))["Count"].Dword(); }
    static std::uint32_t RejectCount() { return SubKey("Reject")["Count"].Dword(); }

    // Limits set and enforced: a value and its bit in the key's "Flags".
    static void Limit(RegKey key, const char* name, std::uint32_t value, std::uint32_t flag)
    {
        key[name] = value;
        key["Flags"] = key["Flags"].Dword() | flag;
    }
    static void LimitMaxDispense(int c, std::uint32_t notes)
    {
        Limit(SubKey(CassetteKey(c)), "Max Dispense", notes, DispenserControl::kMaxDispenseLimit);
    }
    static void LimitMinAmount(int c, std::uint32_t notes)
    {
        Limit(SubKey(CassetteKey(c)), "Min Amount", notes, DispenserControl::kMinAmountLimit);
    }
    static void LimitAmount(std::uint32_t roubles)
    {
        Limit(MainKey(), "Max", roubles, DispenserControl::kAmountLimitFlag);
    }
    static void LimitReject(std::uint32_t count, std::uint32_t limit)
    {
        SubKey("Reject")["Count"] = count;
        Limit(SubKey("Reject"), "Max Limit", limit, DispenserControl::kRejectLimit);
    }

    // The session holds each of `expected` (a variable never written reads as "").
    static void ExpectHolds(SessionVariables& session, const Variables& expected)
    {
        for (const auto& [name, text] : expected)
            EXPECT_EQ(session.GetValue(name), text) << name;
    }
    // Command frames the device has received so far (0 without a device).
    unsigned FramesIn() { return device_ ? device_->Truth().framesIn : 0; }
    // The error records of the application log.
    std::vector<std::string> LoggedErrors()
    {
        std::lock_guard lock(logMutex_);
        return loggedErrors_;
    }

    TestRegistry registry_;
    TempFolder folder_;
    std::unique_ptr<SimulatedDispenser> device_;
    FakePluginContext context_;

private:
    AppLog applicationLog_;
    std::mutex logMutex_;
    std::vector<std::string> loggedErrors_;
};
