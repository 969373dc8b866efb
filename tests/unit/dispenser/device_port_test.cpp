#include "Plugin/Dispenser/dispenser_port.h"

#include "MTSys/mtsys.h"
#include "Plugin/Dispenser/serial_port.h"
#include "Plugin/Dispenser/settings.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_registry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

TEST(DevicePortLock, OneHolderAtATime)
{
    DevicePort port(nullptr);
    EXPECT_FALSE(port.IsLocked());
    auto first = port.TryLock();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(port.IsLocked());
    EXPECT_EQ(port.TryLock(), nullptr);
    EXPECT_TRUE(port.IsLocked()); // a refused attempt changes nothing
    first.reset();
    EXPECT_FALSE(port.IsLocked());
    EXPECT_NE(port.TryLock(), nullptr);
}

TEST(DevicePortLock, RacingThreadsGetOneLock)
{
    DevicePort port(nullptr);
    std::atomic<int> winners{0};
    std::vector<std::unique_ptr<DevicePort::Lock>> locks(8);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < locks.size(); ++i) {
        threads.emplace_back([&, i] {
            locks[i] = port.TryLock();
            if (locks[i])
                ++winners;
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(winners.load(), 1);
}

TEST(DevicePortLock, DestroyingALockedPortOnlyWarns)
{
    TempFolder folder;
    AppLog log;
    log.SetLogPath(folder.File("trace.txt"));
    auto port = std::make_unique<DevicePort>(&log);
    DevicePort::Lock* lock = port->TryLock().release();
    ASSERT_NE(lock, nullptr);
    port.reset(); // the caller's duty is not done: the port goes first, and only warns
    EXPECT_EQ(ReadFileBytes(folder.File("trace.txt")), std::string("DevicePort warning: destruction in locked state.") +
                                                           LogFile::LineEnd());
    // The lock must not touch its port any more: its memory goes without its destructor.
    ::operator delete(lock);

    {
        DevicePort quiet(&log);
        quiet.TryLock(); // locked and released at once: no warning at destruction
    }
    EXPECT_EQ(ReadFileBytes(folder.File("trace.txt")).size(),
              std::string("DevicePort warning: destruction in locked state.").size() + std::string(LogFile::LineEnd()).size());
}

TEST(DispenserPortNames, ComNamesOfTwoOrMoreDigitsGetTheDevicePrefix)
{
    EXPECT_EQ(DispenserPort::NormalisePortName("COM3"), "COM3");
    EXPECT_EQ(DispenserPort::NormalisePortName("COM10"), "\\\\.\\COM10");
    EXPECT_EQ(DispenserPort::NormalisePortName("com15"), "\\\\.\\com15");
    EXPECT_EQ(DispenserPort::NormalisePortName("\\\\.\\COM4"), "\\\\.\\COM4");
    EXPECT_EQ(DispenserPort::NormalisePortName("COM1A"), "COM1A");
    EXPECT_EQ(DispenserPort::NormalisePortName("COM"), "COM");
    EXPECT_EQ(DispenserPort::NormalisePortName("COMX10"), "COMX10");
    EXPECT_EQ(DispenserPort::NormalisePortName("/dev/ttyS10"), "/dev/ttyS10");
    EXPECT_EQ(DispenserPort::NormalisePortName(""), "");
}

// A port whose line must never be opened.
class NoLinePort : public DispenserPort {
public:
    using DispenserPort::DispenserPort;
    int opened = 0;

protected:
    std::unique_ptr<SerialPort> OpenLine(const std::string&) override
    {
        ++opened;
        return nullptr;
    }
};

class DispenserPortChecks : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegKey key(RegistryRoot::LocalMachine, DispenserControl::kSettingsKey, true, RegAccessAll);
        key["Off"] = 0;
        key["Port"] = "COM7";
    }

    std::vector<std::string> Exchange(bool abort)
    {
        std::vector<std::string> errors;
        DispenserControl::Settings settings(false);
        NoLinePort port(&log_, &errors, &settings);
        MTSys::Event stop;
        if (abort)
            stop.Set();
        std::vector<std::uint8_t> response(4, 0xEE);
        EXPECT_FALSE(port.Exchange(stop, {0x46}, response));
        EXPECT_EQ(response, std::vector<std::uint8_t>(4, 0xEE)); // left as it was
        opened_ = port.opened;
        return errors;
    }

    TestRegistry registry_;
    AppLog log_;
    int opened_ = 0;
};

TEST_F(DispenserPortChecks, AbortBeforeTheCallOpensNothing)
{
    EXPECT_EQ(Exchange(true), std::vector<std::string>{"Обмен с устройством принудительно прерван"});
    EXPECT_EQ(opened_, 0);
}

TEST_F(DispenserPortChecks, DeviceNotInUse)
{
    RegKey(RegistryRoot::LocalMachine, DispenserControl::kSettingsKey, true, RegAccessAll)["Disabled"] = 1;
    EXPECT_EQ(Exchange(false), std::vector<std::string>{"Устройство не задействовано"});
    EXPECT_EQ(opened_, 0);
}

TEST_F(DispenserPortChecks, NoPortConfigured)
{
    RegKey(RegistryRoot::LocalMachine, DispenserControl::kSettingsKey, true, RegAccessAll)["Off"] = 1;
    EXPECT_EQ(Exchange(false), std::vector<std::string>{"Не задан порт подключения устройства"});
    EXPECT_EQ(opened_, 0);
}

TEST_F(DispenserPortChecks, BusyPortNamesTheNormalisedPort)
{
    RegKey(RegistryRoot::LocalMachine, DispenserControl::kSettingsKey, true, RegAccessAll)["Port"] = "COM10";
    // No "Не удалось выполнить обмен" here: the line was never opened.
    EXPECT_EQ(Exchange(false), std::vector<std::string>{"Порт '\\\\.\\COM10' занят"});
    EXPECT_EQ(opened_, 1);
}

} // namespace
