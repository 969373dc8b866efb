// The operator dialog around real operations: hidden and shown runs, "Keep Open",
// Cancel while the device works, a second Ok while the thread is joined, and a
// screenshot of a payout in progress. Another thread plays the operator by posting
// the dialog its button commands.
#include "MTSys/mtsys.h"
#include "Plugin/Dispenser/dispenser_log.h"
#include "Plugin/Dispenser/scenario.h"
#include "Plugin/Dispenser/settings.h"
#include "Plugin/Dispenser/ui/scenario_dialog.h"
#include "framework/messages.h"
#include "framework/win32/wide_text.h"
#include "tests/support/screenshot.h"
#include "tests/support/simulated_dispenser.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_registry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Texts = std::vector<std::string>;

// Waits up to `limit` for `condition`, looking every 20 ms.
bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = 10s)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

HWND FindDialog(const wchar_t* caption)
{
    return FindWindowW(L"#32770", caption);
}

class ScenarioDialogTest : public ::testing::Test {
protected:
    ScenarioDialogTest()
    {
        DispenserLogHandler::Release();
        previousRunner_ = DispenserScenario::SetDialogRunner(&DispenserScenario::RunUnderDialog);
        RegKey key(RegistryRoot::LocalMachine, DispenserControl::kSettingsKey, true, RegAccessAll);
        key["Device"] = "LCDM-2000";
        key["Off"] = 0;
        key["Port"] = device_.PortName();
        key["DebugLog"] = folder_.File("trace.txt");
        key["LogDir"] = folder_.File("journal");
        key["ReadTotalTimeoutConstant"] = 300;
        for (const char* cassette : {"Cassette\\1", "Cassette\\2"}) {
            RegKey sub(key, cassette, true, RegAccessAll);
            sub["Denomination"] = 100;
            sub["Flags"] = 1;
        }
    }
    ~ScenarioDialogTest() override
    {
        if (operatorThread_.joinable())
            operatorThread_.join();
        DispenserScenario::SetDialogRunner(previousRunner_);
        DispenserLogHandler::Release();
    }

    void LogWindow(int show, int keepOpen)
    {
        RegKey key(RegistryRoot::LocalMachine, std::string(DispenserControl::kSettingsKey) + "\\Log Window", true,
                   RegAccessAll);
        key["Show"] = show;
        key["Keep Open"] = keepOpen;
    }
    void Debug(bool on)
    {
        RegKey(RegistryRoot::LocalMachine, DispenserControl::kSettingsKey, true, RegAccessAll)["Debug"] = on ? 1 : 0;
    }

    std::string Trace() const { return ReadFileBytes(folder_.File("trace.txt")); }
    bool TraceHas(const std::string& text) const { return Trace().find(text) != std::string::npos; }

    // Plays the operator on another thread while the test's thread runs the dialog.
    void Operator(std::function<void()> actions) { operatorThread_ = std::thread(std::move(actions)); }

    TestRegistry registry_;
    TempFolder folder_;
    SimulatedDispenser device_;
    std::thread operatorThread_;
    DispenserScenario::DialogRunner previousRunner_;
};

TEST_F(ScenarioDialogTest, HiddenDialogIsNeverShownAndEndsWithTheThread)
{
    LogWindow(0, 1); // "Keep Open" means nothing for a hidden dialog
    Debug(true);
    bool visible = true;
    bool found = false;
    const auto previous = SetOperatorPromptHook([&](const OperatorPrompt& prompt) {
        HWND dialog = FindDialog(L"Опрос состояния устройства");
        found = dialog != nullptr && prompt.owner == dialog;
        visible = dialog != nullptr && IsWindowVisible(dialog);
        return ButtonYes;
    });
    Texts errors;
    DispenserStatusInfo status;
    const bool result = DispenserScenario::QueryStatus(nullptr, &errors, &status);
    SetOperatorPromptHook(previous);
    EXPECT_TRUE(result) << ::testing::PrintToString(errors);
    EXPECT_TRUE(found); // the box is owned by the dialog
    EXPECT_FALSE(visible);
    EXPECT_EQ(status.errorText, "Ok (debug)");
    EXPECT_EQ(FindDialog(L"Опрос состояния устройства"), nullptr); // gone with the run
}

// A worker that cannot start ends the run at once with a text: the hidden dialog does
// not wait for the end of a thread that does not exist.
TEST_F(ScenarioDialogTest, AWorkerThatCannotStartFailsTheRunAtOnce)
{
    LogWindow(0, 0);
    MTSys::Thread::FailNextStarts(1);
    Texts errors;
    DispenserStatusInfo status;
    EXPECT_FALSE(DispenserScenario::QueryStatus(nullptr, &errors, &status));
    MTSys::Thread::FailNextStarts(0);
    EXPECT_EQ(errors, Texts{"Не удалось запустить поток выполнения операции"});
    EXPECT_EQ(FindDialog(L"Опрос состояния устройства"), nullptr);
    EXPECT_EQ(device_.Truth().framesIn, 0u);
}

TEST_F(ScenarioDialogTest, KeptOpenDialogWaitsForTheOperator)
{
    LogWindow(1, 1);
    std::atomic<bool> stayedOpen{false};
    Operator([&] {
        ASSERT_TRUE(WaitFor([&] { return TraceHas("Нормальное завершение потока"); }));
        std::this_thread::sleep_for(300ms);
        HWND dialog = FindDialog(L"Опрос версии прошивки устройства");
        stayedOpen = dialog != nullptr && IsWindowVisible(dialog);
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    Texts errors;
    std::string version;
    EXPECT_TRUE(DispenserScenario::QueryVersion(nullptr, &errors, &version));
    operatorThread_.join();
    EXPECT_TRUE(stayedOpen.load());
    EXPECT_EQ(version.size(), 4u);

    // Cancel on a dialog kept open turns even a success into a failure.
    const auto endings = [this] {
        const std::string trace = Trace();
        std::size_t count = 0;
        for (std::size_t at = trace.find("Нормальное завершение потока"); at != std::string::npos;
             at = trace.find("Нормальное завершение потока", at + 1))
            ++count;
        return count;
    };
    const std::size_t before = endings();
    Operator([&] {
        ASSERT_TRUE(WaitFor([&] { return endings() > before; }));
        std::this_thread::sleep_for(300ms);
        PostMessageW(FindDialog(L"Опрос версии прошивки устройства"), WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_FALSE(DispenserScenario::QueryVersion(nullptr, &errors, &version));
    EXPECT_EQ(errors.back(), "Выполнение запроса неожиданно прервано");
}

TEST_F(ScenarioDialogTest, CancelAbortsTheRunningDeviceRequest)
{
    LogWindow(0, 0);
    RegKey(RegistryRoot::LocalMachine, DispenserControl::kSettingsKey, true, RegAccessAll)["DeviceResponseTimeout"] =
        60000;
    device_.Fault("mute:1");
    Operator([&] {
        ASSERT_TRUE(WaitFor([&] { return TraceHas("запрос инициализирован, ожидание ответа"); }));
        // The device holds the command and stays silent: the request is waiting for it.
        ASSERT_TRUE(WaitFor([&] { return device_.Truth().framesIn >= 1; }));
        HWND dialog = FindDialog(L"Опрос состояния устройства");
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        PostMessageW(dialog, WM_COMMAND, IDOK, 0); // while the thread is joined: only logged
    });
    Texts errors;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(DispenserScenario::QueryStatus(nullptr, &errors, nullptr));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 20s);
    EXPECT_NE(std::find(errors.begin(), errors.end(), "Опрос состояния устройства: операция прервана"), errors.end())
        << ::testing::PrintToString(errors);
    EXPECT_EQ(errors.back(), "Выполнение запроса неожиданно прервано");
    EXPECT_TRUE(TraceHas("Ожидание завершения"));
}

TEST_F(ScenarioDialogTest, ScreenshotOfAPayoutInProgress)
{
    LogWindow(1, 0);
    device_.Fault("note-ms:120");
    const std::string path = ArtifactsFolder(folder_.Path()) + "\\dispenser-dialog.bmp";
    std::atomic<bool> saved{false};
    Operator([&] {
        ASSERT_TRUE(WaitFor([&] { return TraceHas("запрос инициализирован, ожидание ответа"); }));
        // A few of the 20 notes are out: the payout is under way, with notes still to come.
        ASSERT_TRUE(WaitFor([&] { return device_.Truth().taken1 >= 5; }));
        saved = SaveScreen(path);
    });
    Texts errors;
    unsigned dispensed1 = 0;
    EXPECT_TRUE(DispenserScenario::Dispense(nullptr, &errors, 20, 0, &dispensed1, nullptr, nullptr, nullptr))
        << ::testing::PrintToString(errors);
    operatorThread_.join();
    EXPECT_EQ(dispensed1, 20u);
    EXPECT_TRUE(saved.load()) << path;
}

} // namespace
