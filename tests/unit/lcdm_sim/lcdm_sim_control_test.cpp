// lcdm-sim's control channel over TCP: faults, the ground truth, reset and quit, and the
// addresses it refuses.
#include "tests/unit/lcdm_sim/lcdm_sim_fixture.h"

namespace {

using namespace lcdm_sim_test;

TEST_F(LcdmSimTest, ControlChannelOverTcp)
{
    auto options = Options();
    options.control = "127.0.0.1:0";
    Start(options);
    ASSERT_EQ(sim_->ControlAddress().rfind("127.0.0.1:", 0), 0u) << sim_->ControlAddress();
    ControlClient client(sim_->ControlAddress());
    ControlClient other(sim_->ControlAddress());

    EXPECT_EQ(client.Ask("fault nak:1 set-count:1:30"), "OK");
    host_->Send(CommandFrame(kStatus));
    EXPECT_EQ(host_->Receive(1), Bytes{kNak});
    EXPECT_EQ(Exchange(Dispense("02"), 8), Ascii("0202" "0" "0" "00"));
    WaitForHostAcks(1);
    EXPECT_EQ(other.Ask("truth"), sim_->TruthJson()) << "a second connection is served too";
    const auto truth = client.Ask("truth");
    ASSERT_TRUE(truth);
    EXPECT_NE(truth->find("\"cassette1\":28,"), std::string::npos) << *truth;
    EXPECT_NE(truth->find("\"frames_in\":2,\"frames_out\":1}"), std::string::npos) << *truth;
    EXPECT_EQ(client.Ask("frames"), sim_->FramesJson());

    EXPECT_EQ(client.Ask("reset model=lcdm-1000 cassette1=7 near-end=5"), "OK");
    const auto fresh = client.Ask("truth");
    ASSERT_TRUE(fresh);
    EXPECT_EQ(fresh->rfind("{\"model\":\"LCDM-1000\",\"cassette1\":7,\"cassette2\":0,", 0), 0u) << *fresh;
    EXPECT_EQ(Exchange(Dispense("03"), 8), Ascii("0303" "0" "1" "00"));

    for (const char* bad : {"fault", "fault nak:1 bogus", "reset colour=red", "reset cassette1=-4", "reset model=x",
                            "truth please", "launch", ""}) {
        const auto reply = client.Ask(bad);
        ASSERT_TRUE(reply) << bad;
        EXPECT_EQ(reply->rfind("ERROR ", 0), 0u) << bad << " -> " << *reply;
    }
    EXPECT_EQ(Exchange(kStatus, 4).size(), 4u) << "'fault nak:1 bogus' applied nothing";
    EXPECT_EQ(client.Ask("quit"), "OK");
    EXPECT_EQ(client.ReadLine(), std::nullopt) << "closed after quit";
    EXPECT_EQ(other.Ask("truth"), sim_->TruthJson());
}

TEST(LcdmSimControl, UnusableAddressesAreRefused)
{
    auto options = Options();
    options.control = "no-port";
    EXPECT_THROW(lcdm::Simulator{options}, std::invalid_argument);
    options.control = "127.0.0.1:notaport";
    EXPECT_ANY_THROW(lcdm::Simulator{options});
}

} // namespace
