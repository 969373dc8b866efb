#include "Plugin/Dispenser/query.h"

#include "framework/exceptions.h"
#include "framework/window_messages.h"
#include "tests/support/test_window.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>

namespace {

// A request whose work is a function of the stop event.
class FunctionQuery : public QueryThread {
public:
    explicit FunctionQuery(std::function<std::int32_t(const MTSys::Event&)> work) : work_(std::move(work)) {}
    ~FunctionQuery() override { WaitForEnd(); }

protected:
    std::int32_t Execute() override { return work_(StopEvent()); }

private:
    std::function<std::int32_t(const MTSys::Event&)> work_;
};

// Work that runs until it is stopped, then reports a cancelled request.
std::int32_t UntilStopped(const MTSys::Event& stop)
{
    stop.Wait(MTSys::kInfinite);
    return QueryCancelled;
}

TEST(Query, StatesAndCompletion)
{
    MTSys::Event go;
    FunctionQuery query([&go](const MTSys::Event&) {
        go.Wait(MTSys::kInfinite);
        return static_cast<std::int32_t>(QueryCompleted);
    });
    EXPECT_EQ(query.GetState(false), QueryCreated);
    EXPECT_FALSE(query.IsComplete());
    ASSERT_TRUE(query.Initiate(nullptr, 0));
    EXPECT_EQ(query.GetState(false), QueryRunning);
    EXPECT_FALSE(query.IsComplete());
    // Wait(0) on a running request answers at once.
    EXPECT_FALSE(query.Wait(0));
    go.Set();
    EXPECT_EQ(query.GetState(true), QueryCompleted);
    EXPECT_TRUE(query.IsComplete());
    EXPECT_TRUE(query.Wait(0));
}

TEST(Query, EveryFinalStateCountsAsComplete)
{
    for (std::int32_t state : {QueryCompleted, QueryCancelled, QueryBusy, QueryFailed}) {
        FunctionQuery query([state](const MTSys::Event&) { return state; });
        query.Initiate(nullptr, 0);
        EXPECT_EQ(query.GetState(true), state);
        EXPECT_TRUE(query.IsComplete());
    }
}

TEST(Query, ExceptionsOfTheWorkEndInStateFive)
{
    FunctionQuery family([](const MTSys::Event&) -> std::int32_t { throw OVAppException("x"); });
    family.Initiate(nullptr, 0);
    EXPECT_EQ(family.GetState(true), QueryFailed);
    FunctionQuery foreign([](const MTSys::Event&) -> std::int32_t { throw 42; });
    foreign.Initiate(nullptr, 0);
    EXPECT_EQ(foreign.GetState(true), QueryFailed);
}

TEST(Query, ExactlyOneNotificationWithTheFinalState)
{
    TestWindow window;
    const unsigned message = RegisterWindowMessageName("OrvaneQueryTest");
    FunctionQuery query([](const MTSys::Event&) { return static_cast<std::int32_t>(QueryCompleted); });
    ASSERT_TRUE(query.Initiate(window.Handle(), message));
    query.GetState(true);
    const auto posted = window.Next(5000);
    ASSERT_TRUE(posted.has_value());
    EXPECT_EQ(posted->message, message);
    EXPECT_EQ(posted->wParam, static_cast<std::uintptr_t>(QueryCompleted));
    EXPECT_EQ(posted->lParam, reinterpret_cast<std::intptr_t>(static_cast<Query*>(&query)));
    EXPECT_FALSE(window.Next(50).has_value()); // none for state 1, no second one
}

TEST(Query, NoWindowNoNotification)
{
    TestWindow window;
    FunctionQuery query([](const MTSys::Event&) { return static_cast<std::int32_t>(QueryFailed); });
    query.Initiate(nullptr, RegisterWindowMessageName("OrvaneQueryTest"));
    EXPECT_EQ(query.GetState(true), QueryFailed);
    EXPECT_FALSE(window.Next(50).has_value());
}

TEST(Query, CancelStopsTheWorkAndWaits)
{
    FunctionQuery query(UntilStopped);
    query.Initiate(nullptr, 0);
    query.Cancel(true);
    EXPECT_EQ(query.GetState(false), QueryCancelled);
}

TEST(Query, CancelWithWaitBlocksUntilWorkThatIgnoresTheStopEndsByItself)
{
    MTSys::Event go;
    std::atomic<bool> finished{false};
    FunctionQuery query([&](const MTSys::Event&) {
        go.Wait(MTSys::kInfinite);
        finished = true;
        return static_cast<std::int32_t>(QueryCompleted);
    });
    query.Initiate(nullptr, 0);
    std::thread releaser([copy = MTSys::Event(go)]() mutable {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        copy.Set();
    });
    query.Cancel(true);
    EXPECT_TRUE(finished.load());
    EXPECT_EQ(query.GetState(false), QueryCompleted);
    releaser.join();
}

TEST(Query, RepeatedInitiationFailsTheRequest)
{
    TestWindow window;
    const unsigned message = RegisterWindowMessageName("OrvaneQueryTest");
    FunctionQuery query(UntilStopped);
    ASSERT_TRUE(query.Initiate(nullptr, 0));
    try {
        query.Initiate(window.Handle(), message);
        FAIL() << "a second Initiate was accepted";
    } catch (const InternalError& error) {
        EXPECT_EQ(error.Reason().rfind("QueryThread internal error: repeated Initiate (query.cpp:", 0), 0u)
            << error.Reason();
    }
    EXPECT_EQ(query.GetState(false), QueryFailed);
    // The failure is posted to the window given with the second call.
    const auto posted = window.Next(5000);
    ASSERT_TRUE(posted.has_value());
    EXPECT_EQ(posted->wParam, static_cast<std::uintptr_t>(QueryFailed));
}

TEST(Query, DestructionWaitsForTheThread)
{
    std::atomic<bool> finished{false};
    {
        FunctionQuery query([&](const MTSys::Event&) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            finished = true;
            return static_cast<std::int32_t>(QueryCompleted);
        });
        query.Initiate(nullptr, 0);
    }
    EXPECT_TRUE(finished.load());
}

} // namespace
