// Every dispenser command against the simulated LCDM-1000 and LCDM-2000, the counts
// the requests decode checked against the simulator's ground truth.
#include "Plugin/Dispenser/dispenser_requests.h"

#include "Plugin/Dispenser/settings.h"
#include "tests/support/simulated_dispenser.h"
#include "tests/support/test_registry.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using Texts = std::vector<std::string>;

class DeviceRequests : public ::testing::Test {
protected:
    void Connect(const std::string& model, unsigned cassette1 = 100, unsigned cassette2 = 100)
    {
        device_ = std::make_unique<SimulatedDispenser>(model, cassette1, cassette2);
        RegKey key(RegistryRoot::LocalMachine, DispenserControl::kSettingsKey, true, RegAccessAll);
        key["Device"] = model;
        key["Off"] = 0;
        key["Port"] = device_->PortName();
        key["ReadTotalTimeoutConstant"] = 300;
        key["DeviceResponseTimeout"] = 2000;
        settings_ = std::make_unique<DispenserControl::Settings>(false);
        port_ = std::make_unique<DispenserPort>(nullptr, &errors_, settings_.get());
    }

    std::int32_t Run(DispenserQuery& request)
    {
        EXPECT_TRUE(request.Initiate(nullptr, 0));
        return request.GetState(true);
    }

    TestRegistry registry_;
    Texts errors_;
    std::unique_ptr<SimulatedDispenser> device_;
    std::unique_ptr<DispenserControl::Settings> settings_;
    std::unique_ptr<DispenserPort> port_;
};

TEST_F(DeviceRequests, VersionStatusAndPurgeOfBothModels)
{
    for (const char* model : {"LCDM-1000", "LCDM-2000"}) {
        SCOPED_TRACE(model);
        Connect(model); // the requests below end within this pass
        DispenserQuery_RomVersion version(*port_);
        ASSERT_EQ(Run(version), QueryCompleted) << ::testing::PrintToString(errors_);
        EXPECT_EQ(version.GetVersion().size(), 4u);

        DispenserPort statusPort(nullptr, &errors_, settings_.get());
        DispenserQuery_Status status(statusPort, std::string(model) == "LCDM-2000");
        ASSERT_EQ(Run(status), QueryCompleted);
        EXPECT_EQ(status.ErrorDescription(), "Good");
        EXPECT_TRUE(status.SensorsHealthy()) << status.SensorsAText() << " / " << status.SensorsBText();

        DispenserPort purgePort(nullptr, &errors_, settings_.get());
        DispenserQuery_Purge purge(purgePort);
        ASSERT_EQ(Run(purge), QueryCompleted);
        EXPECT_EQ(purge.ErrorCode(), 0x30);
        EXPECT_TRUE(errors_.empty());
    }
}

TEST_F(DeviceRequests, StatusNamesAMissingTrayOnAnLcdm1000)
{
    Connect("LCDM-1000");
    device_->Fault("missing:tray");
    DispenserQuery_Status status(*port_, false);
    ASSERT_EQ(Run(status), QueryCompleted);
    EXPECT_EQ(status.SensorsBText(), "No Reject tray");
    EXPECT_FALSE(status.SensorsHealthy());
}

TEST_F(DeviceRequests, DispenseFromTheUpperCassette)
{
    Connect("LCDM-1000", 50);
    DispenserQuery_Dispense dispense(*port_, 12, 0);
    ASSERT_EQ(Run(dispense), QueryCompleted);
    const auto upper = dispense.Cassette(1);
    EXPECT_EQ(upper.exited, 12);
    EXPECT_EQ(upper.rejected, 0);
    EXPECT_EQ(dispense.ErrorCode(), 0x30);
    const SimulatorTruth truth = device_->Truth();
    EXPECT_EQ(truth.exit1, 12u);
    EXPECT_EQ(truth.cassette1, 38u);
}

TEST_F(DeviceRequests, DispenseFromBothCassettesWithRejects)
{
    Connect("LCDM-2000", 100, 100);
    device_->Fault("reject-every:4");
    DispenserQuery_Dispense dispense(*port_, 5, 7);
    ASSERT_EQ(Run(dispense), QueryCompleted) << ::testing::PrintToString(errors_);
    const auto upper = dispense.Cassette(1);
    const auto lower = dispense.Cassette(2);
    const SimulatorTruth truth = device_->Truth();
    EXPECT_EQ(upper.exited, 5);
    EXPECT_EQ(lower.exited, 7);
    EXPECT_EQ(upper.exited + lower.exited, truth.exit1 + truth.exit2);
    EXPECT_EQ(upper.rejected + lower.rejected, truth.rejectBin);
    EXPECT_GT(truth.rejectBin, 0u);
    EXPECT_EQ(100u - truth.cassette1, truth.taken1);
}

TEST_F(DeviceRequests, BillEndWhenACassetteRunsOut)
{
    Connect("LCDM-2000", 3, 100);
    DispenserQuery_Dispense dispense(*port_, 5, 0);
    ASSERT_EQ(Run(dispense), QueryCompleted);
    EXPECT_EQ(dispense.Cassette(1).exited, 3);
    EXPECT_EQ(dispense.ErrorCode(), 0x38);
    EXPECT_EQ(dispense.ErrorDescription(), "Bill- End (Upper Bill- End)");
    EXPECT_EQ(device_->Truth().cassette1, 0u);
}

TEST_F(DeviceRequests, TestRejectOfEachCassette)
{
    Connect("LCDM-2000");
    {
        DispenserQuery_TestReject upper(*port_, false);
        ASSERT_EQ(Run(upper), QueryCompleted);
        EXPECT_EQ(upper.RejectedCount(), 1u);
        DispenserPort second(nullptr, &errors_, settings_.get());
        DispenserQuery_TestReject lower(second, true);
        ASSERT_EQ(Run(lower), QueryCompleted);
        EXPECT_EQ(lower.RejectedCount(), 1u);
        EXPECT_EQ(device_->Truth().rejectBin, 2u);
    }

    Connect("LCDM-1000");
    DispenserQuery_TestReject refused(*port_, true);
    ASSERT_EQ(Run(refused), QueryCompleted);
    EXPECT_EQ(refused.ErrorCode(), 0x37); // "Undefined command" on a one-cassette device
    EXPECT_EQ(device_->Truth().rejectBin, 0u);
}

TEST_F(DeviceRequests, CorruptedAnswersAreNotInterpreted)
{
    Connect("LCDM-2000");
    device_->Fault("bad-payload:1");
    DispenserQuery_Status status(*port_, true);
    EXPECT_EQ(Run(status), QueryFailed);
    EXPECT_EQ(errors_, Texts{"Не удалось интерпретировать ответ устройства"});

    errors_.clear();
    device_->Fault("bad-payload:1");
    DispenserPort second(nullptr, &errors_, settings_.get());
    DispenserQuery_Dispense dispense(second, 2, 0);
    EXPECT_EQ(Run(dispense), QueryFailed);
    EXPECT_EQ(errors_, Texts{"Не удалось интерпретировать ответ устройства"});
    EXPECT_EQ(dispense.Cassette(1).exited, 0); // nothing stored from an invalid answer
    EXPECT_EQ(device_->Truth().exit1, 2u);     // though the notes did leave the device
}

TEST_F(DeviceRequests, SecondRequestWhileTheFirstRunsIsBusy)
{
    Connect("LCDM-2000");
    device_->Fault("note-ms:100");
    DispenserQuery_Dispense first(*port_, 3, 0);
    ASSERT_TRUE(first.Initiate(nullptr, 0));
    DispenserQuery_Status second(*port_, true);
    EXPECT_FALSE(second.Initiate(nullptr, 0));
    EXPECT_EQ(second.GetState(true), QueryBusy);
    EXPECT_EQ(first.GetState(true), QueryCompleted);
    EXPECT_EQ(first.Cassette(1).exited, 3);
}

TEST_F(DeviceRequests, CancelWhileTheDeviceIsSilent)
{
    Connect("LCDM-2000");
    device_->Fault("mute:1");
    DispenserQuery_Status status(*port_, true);
    ASSERT_TRUE(status.Initiate(nullptr, 0));
    EXPECT_FALSE(status.Wait(100));
    status.Cancel(true);
    EXPECT_EQ(status.GetState(false), QueryCancelled);
    EXPECT_EQ(errors_.back(), "Обмен с устройством принудительно прерван");
}

} // namespace
