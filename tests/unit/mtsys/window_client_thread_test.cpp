#include "MTSys/window_client_thread.h"

#include "framework/exceptions.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_window.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

// A worker whose job is a function of the stop event; remembers its exit callback.
class Worker : public MTSys::WindowClientThread {
public:
    Worker(AppLog* log, std::function<int(const MTSys::Event&)> job) : WindowClientThread(log), job_(std::move(job)) {}

    int exitResult = -1;
    bool exitAbnormal = false;
    int exits = 0;

protected:
    int ClientThreadFunc() override { return job_(StopEvent()); }
    void OnThreadExit(int result, bool abnormal) override
    {
        exitResult = result;
        exitAbnormal = abnormal;
        ++exits;
    }

private:
    std::function<int(const MTSys::Event&)> job_;
};

class WindowClientThreadTest : public ::testing::Test {
protected:
    WindowClientThreadTest() { log_.SetLogPath(folder_.File("log.txt")); }

    // Runs a job to its end with the test window as client; returns the exit message.
    PostedMessage RunToEnd(Worker& worker)
    {
        worker.Start(window_.Handle());
        worker.Stop(true);
        const auto message = window_.Next(5000);
        EXPECT_TRUE(message.has_value());
        return message.value_or(PostedMessage{});
    }

    std::string Log() const { return ReadFileBytes(folder_.File("log.txt")); }

    TempFolder folder_;
    AppLog log_;
    TestWindow window_;
};

TEST_F(WindowClientThreadTest, NormalEndPostsTheResult)
{
    Worker worker(&log_, [](const MTSys::Event&) { return 42; });
    const PostedMessage message = RunToEnd(worker);
    EXPECT_EQ(message.message, worker.ExitMessage());
    EXPECT_EQ(message.wParam, 0u);
    EXPECT_EQ(message.lParam, 42);
    EXPECT_NE(Log().find("Нормальное завершение потока"), std::string::npos);
    // The window hands the message back: OnThreadExit runs on the window's thread.
    worker.HandleWindowMessage(message.message, message.wParam, message.lParam);
    EXPECT_EQ(worker.exits, 1);
    EXPECT_EQ(worker.exitResult, 42);
    EXPECT_FALSE(worker.exitAbnormal);
}

TEST_F(WindowClientThreadTest, SilentCancelIsANormalEndWithResultZero)
{
    Worker worker(&log_, [](const MTSys::Event&) -> int { throw SilentCancel(); });
    const PostedMessage message = RunToEnd(worker);
    EXPECT_EQ(message.wParam, 0u);
    EXPECT_EQ(message.lParam, 0);
    EXPECT_NE(Log().find("Нормальное завершение потока"), std::string::npos);
    EXPECT_EQ(Log().find("Необработанное исключение"), std::string::npos);
}

TEST_F(WindowClientThreadTest, ExceptionsEndAbnormally)
{
    Worker family(&log_, [](const MTSys::Event&) -> int { throw OVAppException("нет связи"); });
    const PostedMessage first = RunToEnd(family);
    EXPECT_EQ(first.wParam, 1u);
    EXPECT_EQ(first.lParam, 0);
    EXPECT_NE(Log().find("Необработанное исключение: нет связи"), std::string::npos);

    Worker foreign(&log_, [](const MTSys::Event&) -> int { throw 3.14; });
    const PostedMessage second = RunToEnd(foreign);
    EXPECT_EQ(second.wParam, 1u);
    EXPECT_EQ(second.lParam, 0);
    EXPECT_NE(Log().find("Необработанное исключение неизвестного типа"), std::string::npos);
    EXPECT_NE(Log().find("Неожиданное завершение потока"), std::string::npos);
}

TEST_F(WindowClientThreadTest, ClosingTheWindowStopsTheJobAndWaits)
{
    MTSys::Event started;
    Worker worker(&log_, [&started](const MTSys::Event& stop) {
        started.Set();
        stop.Wait(MTSys::kInfinite);
        return 7;
    });
    worker.Start(window_.Handle());
    ASSERT_TRUE(started.Wait(5000));
    worker.HandleWindowMessage(0x0010, 0, 0); // WM_CLOSE
    EXPECT_TRUE(worker.WorkerThread().IsSignalled());
    EXPECT_TRUE(worker.StopEvent().IsSignalled());
    EXPECT_NE(Log().find("Ожидание завершения потока"), std::string::npos);
}

TEST_F(WindowClientThreadTest, WithoutWindowNoMessageAndWithoutLogNoCrash)
{
    Worker worker(nullptr, [](const MTSys::Event&) -> int { throw OVAppException("x"); });
    worker.Start(nullptr);
    worker.Stop(true);
    EXPECT_FALSE(window_.Next(50).has_value());
    EXPECT_EQ(worker.WorkerThread().ExitCode(), 0u);
    // Other messages are not the worker's business.
    worker.HandleWindowMessage(0x0111, 1, 0);
    EXPECT_EQ(worker.exits, 0);
}

TEST_F(WindowClientThreadTest, DestructionStopsAndWaits)
{
    MTSys::Event started;
    bool stopped = false;
    {
        Worker worker(&log_, [&](const MTSys::Event& stop) {
            started.Set();
            stop.Wait(MTSys::kInfinite);
            stopped = true;
            return 0;
        });
        worker.Start(nullptr);
        ASSERT_TRUE(started.Wait(5000));
    }
    EXPECT_TRUE(stopped);
}

} // namespace
