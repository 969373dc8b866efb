#include "framework/app_log.h"

#include "framework/posix/message_window.h"
#include "framework/window_messages.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

TEST(AppLogWindow, RecordsReachTheWindowThroughOneNotification)
{
    MessageQueueWindow window;
    const unsigned notification = RegisterWindowMessageName("OrvaneAppLog");
    EXPECT_EQ(RegisterWindowMessageName("orvaneapplog"), notification);
    AppLog log;
    log.Write(AppLog::Info, "before attaching");
    log.SetClientWindow(&window, notification);
    log.Write(AppLog::Info, "первая");
    log.Write(AppLog::Error, "вторая");
    // One notification until the window has produced.
    ASSERT_EQ(window.PendingCount(), 1u);
    const auto message = window.Get(0);
    ASSERT_TRUE(message.has_value());
    EXPECT_EQ(message->message, notification);
    log.Produce(&window);
    EXPECT_EQ(window.ShownText(), "первая\nвторая\n");
    EXPECT_EQ(window.ShownEntries().at(1).category, AppLog::Error);

    log.Write(AppLog::Info, "третья");
    EXPECT_EQ(window.PendingCount(), 1u);
    log.SetClientWindow(nullptr, 0);
    log.Produce(&window); // detached: nothing more reaches it
    log.Write(AppLog::Info, "после");
    EXPECT_EQ(window.ShownText(), "первая\nвторая\n");
}

TEST(AppLogWindow, AnotherWindowGetsNothing)
{
    MessageQueueWindow attached;
    MessageQueueWindow other;
    AppLog log;
    log.SetClientWindow(&attached, RegisterWindowMessageName("OrvaneAppLog"));
    log.Write(AppLog::Info, "x");
    log.Produce(&other);
    EXPECT_EQ(other.ShownText(), "");
    log.Produce(&attached);
    EXPECT_EQ(attached.ShownText(), "x\n");
}

TEST(AppLogWindow, WritersOnOtherThreadsWhileTheWindowProduces)
{
    MessageQueueWindow window;
    const unsigned notification = RegisterWindowMessageName("OrvaneAppLog");
    AppLog log;
    log.SetClientWindow(&window, notification);
    constexpr int kWriters = 4;
    constexpr int kLines = 300;
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w) {
        writers.emplace_back([&log] {
            for (int i = 0; i < kLines; ++i)
                log.Write(AppLog::Trace, "line %d", i);
        });
    }
    // The window's thread: produce on every notification until all lines arrived.
    while (window.ShownEntries().size() < kWriters * kLines) {
        const auto message = window.Get(2000);
        ASSERT_TRUE(message.has_value()) << "a notification was lost";
        log.Produce(&window);
    }
    for (auto& writer : writers)
        writer.join();
    log.Produce(&window);
    EXPECT_EQ(window.ShownEntries().size(), static_cast<std::size_t>(kWriters * kLines));
}

} // namespace
