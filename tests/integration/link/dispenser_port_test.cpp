// The framed exchange against the simulated dispenser through a real serial line
// (a pseudo-terminal natively, a wine COM port under wine). Time-outs are shortened
// through the registry, as a technician would, never in the code.
#include "Plugin/Dispenser/dispenser_port.h"

#include "MTSys/mtsys.h"
#include "Plugin/Dispenser/serial_port.h"
#include "Plugin/Dispenser/settings.h"
#include "tests/support/simulated_dispenser.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_registry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <sstream>
#include <thread>

namespace {

using Bytes = std::vector<std::uint8_t>;
using Texts = std::vector<std::string>;

const std::string kFailed = "Не удалось выполнить обмен с устройством";
const std::string kAborted = "Обмен с устройством принудительно прерван";

// Waits until the simulated device's ground truth meets `condition`; false after 10 s.
bool WaitForDevice(SimulatedDispenser& device, const std::function<bool(const SimulatorTruth&)>& condition)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition(device.Truth())) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// Remembers how the exchange configured its line, and otherwise is the real line.
class RecordingPort : public DispenserPort {
public:
    using DispenserPort::DispenserPort;

    struct Recording {
        SerialLineFormat format;
        SerialTimeouts timeouts;
        int configured = 0;
    };
    Recording recording;

protected:
    std::unique_ptr<SerialPort> OpenLine(const std::string& name) override
    {
        std::unique_ptr<SerialPort> real = SerialPort::Open(name);
        if (!real)
            return nullptr;
        return std::make_unique<Recorder>(std::move(real), recording);
    }

private:
    class Recorder final : public SerialPort {
    public:
        Recorder(std::unique_ptr<SerialPort> real, Recording& recording)
            : SerialPort(kInvalidFile, real->Name()), real_(std::move(real)), recording_(recording)
        {
        }
        void Configure(const SerialLineFormat& format, const SerialTimeouts& timeouts) override
        {
            recording_.format = format;
            recording_.timeouts = timeouts;
            ++recording_.configured;
            real_->Configure(format, timeouts);
        }
        void DiscardInput() override { real_->DiscardInput(); }
        std::size_t Read(std::size_t* done, void* buffer, std::size_t size) override
        {
            return real_->Read(done, buffer, size);
        }
        std::size_t Write(const void* data, std::size_t size) override { return real_->Write(data, size); }

    private:
        std::unique_ptr<SerialPort> real_;
        Recording& recording_;
    };
};

class DispenserExchange : public ::testing::Test {
protected:
    DispenserExchange()
    {
        trace_.SetOptions(AppLog::OptionTimeStamp | AppLog::OptionCategory);
        trace_.SetLogPath(folder_.File("trace.txt"));
        RegKey key = Key();
        key["Device"] = "LCDM-2000";
        key["Off"] = 0;
        key["Port"] = device_.PortName();
        // Fast failures: a silent device is noticed within a fraction of a second.
        key["ReadTotalTimeoutConstant"] = 150;
        key["ReadTotalTimeoutMultiplier"] = 20;
        key["DeviceResponseTimeout"] = 400;
    }

    static RegKey Key() { return RegKey(RegistryRoot::LocalMachine, DispenserControl::kSettingsKey, true, RegAccessAll); }

    // One exchange of `command` expecting `length` payload bytes.
    bool Exchange(const Bytes& command, std::size_t length, MTSys::Event* stop = nullptr)
    {
        DispenserControl::Settings settings(false);
        RecordingPort port(&trace_, &errors_, &settings);
        MTSys::Event ownStop;
        response_.assign(length, 0xEE);
        const bool result = port.Exchange(stop != nullptr ? *stop : ownStop, command, response_);
        recording_ = port.recording;
        return result;
    }

    std::string TraceText() const { return ReadFileBytes(folder_.File("trace.txt")); }
    int TraceCount(const std::string& text) const
    {
        int count = 0;
        const std::string trace = TraceText();
        for (std::size_t at = trace.find(text); at != std::string::npos; at = trace.find(text, at + 1))
            ++count;
        return count;
    }

    TestRegistry registry_;
    TempFolder folder_;
    SimulatedDispenser device_;
    AppLog trace_;
    Texts errors_;
    Bytes response_;
    RecordingPort::Recording recording_;
};

TEST_F(DispenserExchange, StatusOnAHealthyDevice)
{
    ASSERT_TRUE(Exchange({0x46}, 4)) << ::testing::PrintToString(errors_);
    EXPECT_TRUE(errors_.empty());
    EXPECT_EQ(response_, (Bytes{0x30, 0x30, 0x80, 0x80}));
    const SimulatorTruth truth = device_.Truth();
    EXPECT_EQ(truth.commands, 1u);
    EXPECT_EQ(truth.framesIn, 1u); // the command frame, once
    EXPECT_EQ(truth.framesOut, 1u);
    EXPECT_EQ(TraceCount("DispenserPort: отправка команды 46"), 1);
    EXPECT_EQ(TraceCount("DispenserPort: вывод: 04 50 02 46 03 13"), 1);
    EXPECT_EQ(TraceCount("DispenserPort: вывод: 06"), 1);
    EXPECT_EQ(TraceCount("DispenserPort: обмен с устройством завершён успешно"), 1);
}

TEST_F(DispenserExchange, EmptyKeyGivesEightDataBitsNoParityOneStopBitAndDefaultTimeouts)
{
    for (const char* name : {"ReadTotalTimeoutConstant", "ReadTotalTimeoutMultiplier", "DeviceResponseTimeout"})
        Key()[name].Delete();
    ASSERT_TRUE(Exchange({0x47}, 8));
    EXPECT_EQ(recording_.configured, 1);
    EXPECT_EQ(recording_.format.byteSize, 8);
    EXPECT_EQ(recording_.format.parity, 0);
    EXPECT_EQ(recording_.format.stopBits, 0);
    EXPECT_EQ(recording_.format.baudRate, 9600u);
    EXPECT_EQ(recording_.format.flowControl, 1);
    EXPECT_EQ(recording_.timeouts.readInterval, 100u);
    EXPECT_EQ(recording_.timeouts.readTotalMultiplier, 100u);
    EXPECT_EQ(recording_.timeouts.readTotalConstant, 1000u);
    EXPECT_EQ(recording_.timeouts.writeTotalMultiplier, 100u);
    EXPECT_EQ(recording_.timeouts.writeTotalConstant, 1000u);
}

TEST_F(DispenserExchange, TimeoutsThatWouldWaitForEverFallBackToTheDefaults)
{
    RegKey key = Key();
    key["ReadIntervalTimeout"] = 0;
    key["ReadTotalTimeoutMultiplier"] = 0;
    key["ReadTotalTimeoutConstant"] = 0;
    key["WriteTotalTimeoutMultiplier"] = 0;
    key["WriteTotalTimeoutConstant"] = 0;
    ASSERT_TRUE(Exchange({0x46}, 4));
    EXPECT_EQ(recording_.timeouts.readTotalConstant, 1000u);
    EXPECT_EQ(recording_.timeouts.writeTotalConstant, 1000u);
    EXPECT_EQ(TraceCount("WARN  DispenserPort: таймауты чтения"), 1);
    EXPECT_EQ(TraceCount("WARN  DispenserPort: таймауты записи"), 1);
}

TEST_F(DispenserExchange, ReadTimeoutsThatWouldHangOrNotWaitFallBackToTheDefaults)
{
    // An interval without totals awaits the first byte for ever; MAXDWORD without
    // totals reads whatever is there at once and takes an answer on its way for lost.
    for (const std::uint32_t interval : {50u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(interval);
        RegKey key = Key();
        key["ReadIntervalTimeout"] = interval;
        key["ReadTotalTimeoutMultiplier"] = 0;
        key["ReadTotalTimeoutConstant"] = 0;
        const int warnings = TraceCount("WARN  DispenserPort: таймауты чтения");
        ASSERT_TRUE(Exchange({0x46}, 4));
        EXPECT_EQ(recording_.timeouts.readInterval, 100u);
        EXPECT_EQ(recording_.timeouts.readTotalConstant, 1000u);
        EXPECT_EQ(TraceCount("WARN  DispenserPort: таймауты чтения"), warnings + 1);
    }
}

TEST_F(DispenserExchange, NoSingleWaitOfTheLineOutlastsItsCeiling)
{
    RegKey key = Key();
    for (const char* name : {"ReadIntervalTimeout", "ReadTotalTimeoutMultiplier", "ReadTotalTimeoutConstant",
                             "WriteTotalTimeoutMultiplier", "WriteTotalTimeoutConstant"})
        key[name] = 0xFFFFFFF0u;
    ASSERT_TRUE(Exchange({0x46}, 4));
    const SerialTimeouts& t = recording_.timeouts;
    // The longest frame is well under 64 bytes; ten minutes at the most.
    constexpr std::uint64_t kCeiling = 10 * 60 * 1000;
    EXPECT_LE(t.readInterval, kCeiling);
    EXPECT_LE(std::uint64_t{t.readTotalMultiplier} * 64 + t.readTotalConstant, kCeiling);
    EXPECT_LE(std::uint64_t{t.writeTotalMultiplier} * 64 + t.writeTotalConstant, kCeiling);
    EXPECT_GT(t.readTotalConstant, 1000u) << "long waits below the ceiling stay as set";
}

TEST_F(DispenserExchange, ThreeNaksGiveUpSendingTheCommand)
{
    device_.Fault("nak:3");
    EXPECT_FALSE(Exchange({0x46}, 4));
    EXPECT_EQ(errors_, (Texts{"Отрицательное подтверждение получено 3 раз, связь с устройством неустойчива, "
                              "прекращаем попытки передать команду",
                              kFailed}));
    EXPECT_EQ(response_, Bytes(4, 0xEE));
    EXPECT_EQ(device_.Truth().framesIn, 3u); // the frame, three times
    EXPECT_EQ(device_.Truth().commands, 0u);
}

TEST_F(DispenserExchange, OneNakThenSuccessWarnsOnce)
{
    device_.Fault("nak:1");
    EXPECT_TRUE(Exchange({0x47}, 8));
    EXPECT_TRUE(errors_.empty());
    EXPECT_EQ(TraceCount("попытаемся передать команду повторно"), 1);
    EXPECT_EQ(device_.Truth().commands, 1u);
}

TEST_F(DispenserExchange, MaxRetryCmdOneEndsAtTheFirstNak)
{
    Key()["MaxRetryCmd"] = 1;
    device_.Fault("nak:1");
    EXPECT_FALSE(Exchange({0x46}, 4));
    EXPECT_EQ(errors_.front(), "Отрицательное подтверждение получено 1 раз, связь с устройством неустойчива, "
                               "прекращаем попытки передать команду");
    EXPECT_EQ(device_.Truth().framesIn, 1u);
}

TEST_F(DispenserExchange, UnknownAcknowledgementByte)
{
    device_.Fault("ack:5A");
    EXPECT_FALSE(Exchange({0x46}, 4));
    EXPECT_EQ(errors_, (Texts{"Получено неопознанное подтверждение (5A), сбой связи с устройством", kFailed}));
}

TEST_F(DispenserExchange, NoAcknowledgementIsNotRetried)
{
    device_.Fault("silent:1");
    EXPECT_FALSE(Exchange({0x46}, 4));
    EXPECT_EQ(errors_, (Texts{"Таймаут подтверждения команды, возможно, устройство не подключено", kFailed}));
    EXPECT_EQ(device_.Truth().framesIn, 1u);
}

TEST_F(DispenserExchange, DamagedChecksumThreeTimesGivesUpTheResponse)
{
    device_.Fault("bad-bcc:3");
    EXPECT_FALSE(Exchange({0x46}, 4));
    EXPECT_EQ(errors_, (Texts{"Отрицательное подтверждение отправлено 3 раз, связь с устройством неустойчива, "
                              "прекращаем попытки получить ответ",
                              kFailed}));
    EXPECT_EQ(TraceCount("DispenserPort: вывод: 15"), 3);
    EXPECT_EQ(TraceCount("отправка команды"), 1); // the command is not sent again
}

TEST_F(DispenserExchange, WrongEchoIsADamagedFrame)
{
    device_.Fault("bad-echo:1");
    EXPECT_TRUE(Exchange({0x46}, 4));
    EXPECT_EQ(TraceCount("DispenserPort: ответ не опознан, отправляем отрицательное подтверждение"), 1);
    EXPECT_EQ(response_, (Bytes{0x30, 0x30, 0x80, 0x80}));
}

TEST_F(DispenserExchange, SilentDeviceAfterAckTimesOutThreeTimes)
{
    device_.Fault("mute:1");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Exchange({0x46}, 4));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(errors_, (Texts{"Устройство не отвечает слишком долго", "Устройство не отвечает слишком долго",
                              "Устройство не отвечает слишком долго",
                              "Отрицательное подтверждение отправлено 3 раз, связь с устройством неустойчива, "
                              "прекращаем попытки получить ответ",
                              kFailed}));
    EXPECT_EQ(TraceCount("DispenserPort: ответ не получен, отправляем отрицательное подтверждение"), 3);
    EXPECT_GE(elapsed, std::chrono::milliseconds(3 * 400)); // each wait starts afresh
}

TEST_F(DispenserExchange, ZeroResponseTimeoutGivesUpAtTheFirstEmptyRead)
{
    Key()["DeviceResponseTimeout"] = 0;
    Key()["MaxRetryRsp"] = 1;
    device_.Fault("mute:1");
    EXPECT_FALSE(Exchange({0x46}, 4));
    EXPECT_EQ(errors_.front(), "Устройство не отвечает слишком долго");
    EXPECT_EQ(TraceCount("получение заголовка ответа"), 1);
}

TEST_F(DispenserExchange, ShortResponseFailsAtOnceWithoutNak)
{
    device_.Fault("short:1");
    EXPECT_FALSE(Exchange({0x46}, 4));
    EXPECT_EQ(errors_, (Texts{"Сбой связи с устройством (таймаут получения ответа)", kFailed}));
    EXPECT_EQ(TraceCount("DispenserPort: вывод: 15"), 0);
}

TEST_F(DispenserExchange, AbortDuringTheWait)
{
    device_.Fault("mute:1");
    MTSys::Event stop;
    std::atomic<bool> commandArrived{false};
    // Stops the exchange once the device holds its command, while it waits for an answer.
    std::thread canceller([this, &commandArrived, copy = MTSys::Event(stop)]() mutable {
        commandArrived = WaitForDevice(device_, [](const SimulatorTruth& truth) { return truth.framesIn >= 1; });
        copy.Set();
    });
    EXPECT_FALSE(Exchange({0x46}, 4, &stop));
    canceller.join();
    EXPECT_TRUE(commandArrived.load());
    EXPECT_EQ(errors_, (Texts{kFailed, kAborted}));
}

TEST_F(DispenserExchange, BusyPortIsReportedWithItsName)
{
    Key()["Port"] = device_.LongPortName();
    const std::string expected = DispenserPort::NormalisePortName(device_.LongPortName());
    const std::unique_ptr<SerialPort> holder = SerialPort::Open(expected);
    ASSERT_NE(holder, nullptr);
    EXPECT_FALSE(Exchange({0x46}, 4));
    EXPECT_EQ(errors_, Texts{"Порт '" + expected + "' занят"});
    EXPECT_EQ(device_.Truth().framesIn, 0u);
}

TEST_F(DispenserExchange, LeftoverAnswerIsNotTakenForTheNextAcknowledgement)
{
    // The device answers late: the first exchange gives up, the answer arrives
    // while no exchange runs, and the next exchange must not read it as its ACK.
    Key()["MaxRetryRsp"] = 1;
    device_.Fault("note-ms:300");
    EXPECT_FALSE(Exchange({0x45, 0x30, 0x33}, 8));
    ASSERT_TRUE(WaitForDevice(device_, [](const SimulatorTruth& truth) { return truth.framesOut >= 1; }))
        << "the late answer was never sent";
    errors_.clear();
    device_.Fault("note-ms:0");
    EXPECT_TRUE(Exchange({0x46}, 4)) << ::testing::PrintToString(errors_);
}

} // namespace
