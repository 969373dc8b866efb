// The lcdm-sim program: its command line, and the program itself started by path and
// stopped by its PID (SIGTERM, end of standard input, help and bad arguments).
#include "tests/unit/lcdm_sim/lcdm_sim_fixture.h"

#include "tools/lcdm-sim/cli_options.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using namespace lcdm_sim_test;

// ---------------------------------------------------------------- command line

TEST(LcdmSimCommandLine, TakesEveryOption)
{
    const lcdm::ProgramOptions options = lcdm::ParseCommandLine(
        {"--model", "LCDM-1000", "--cassette1=40", "--near-end", "7", "--over-reject", "3", "--firmware", "X9",
         "--link", "/tmp/a", "--link=/tmp/b", "--fault", "nak:1", "--fault", "note-ms:5", "--pace-baud", "9600",
         "--ack-timeout", "250", "--ground-truth", "/tmp/t.jsonl", "--control", "127.0.0.1:0", "--ignore-stdin"});
    const lcdm::SimulatorOptions& sim = options.simulator;
    EXPECT_EQ(sim.device.model, lcdm::Model::Lcdm1000);
    EXPECT_EQ(sim.device.cassette1, 40);
    EXPECT_EQ(sim.device.cassette2, 0) << "an LCDM-1000 has no lower cassette";
    EXPECT_EQ(sim.device.nearEnd, 7);
    EXPECT_EQ(sim.device.overRejectLimit, 3);
    EXPECT_EQ(sim.device.version, "X9");
    EXPECT_EQ(sim.links, (std::vector<std::string>{"/tmp/a", "/tmp/b"}));
    EXPECT_EQ(sim.faults, (std::vector<std::string>{"nak:1", "note-ms:5"}));
    EXPECT_EQ(sim.paceBaud, 9600);
    EXPECT_EQ(sim.ackTimeout, 250ms);
    EXPECT_EQ(options.groundTruthPath, "/tmp/t.jsonl");
    EXPECT_EQ(sim.control, "127.0.0.1:0");
    EXPECT_FALSE(options.watchStdin);
    EXPECT_FALSE(options.showHelp);

    const lcdm::ProgramOptions defaults = lcdm::ParseCommandLine({});
    EXPECT_EQ(defaults.simulator.device.model, lcdm::Model::Lcdm2000);
    EXPECT_EQ(defaults.simulator.device.cassette2, 100);
    EXPECT_EQ(defaults.simulator.device.nearEnd, 20);
    EXPECT_EQ(defaults.simulator.device.version, "V1.2");
    EXPECT_EQ(defaults.simulator.ackTimeout, 5000ms);
    EXPECT_EQ(defaults.simulator.paceBaud, 0);
    EXPECT_TRUE(defaults.watchStdin);
    EXPECT_EQ(lcdm::ParseCommandLine({"--model", "lcdm-1000", "--cassette2", "9"}).simulator.device.cassette2, 9);
}

TEST(LcdmSimCommandLine, RefusesWhatItCannotTake)
{
    for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
             {"--bogus"}, {"--model"}, {"--model", "LCDM-3000"}, {"--cassette1", "many"}, {"--cassette1", "-1"},
             {"--near-end", "1e3"}, {"--fault", "nak"}, {"--pace-baud", "-9600"}, {"--firmware", "TOO-LONG-1"},
             {"--firmware", ""}, {"--help=yes"}, {"--version=1"}, {"--over-reject", "100"}, {"cassette1"}}) {
        EXPECT_THROW(lcdm::ParseCommandLine(arguments), std::invalid_argument) << arguments.front();
    }
}

// The program, started by path and stopped by PID.
class SimProcess {
public:
    explicit SimProcess(const std::vector<std::string>& arguments)
    {
        int input[2];
        int output[2];
        if (::pipe2(input, O_CLOEXEC) != 0 || ::pipe2(output, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe2");
        posix_spawn_file_actions_t actions;
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
        ::posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
        std::vector<std::string> all{LCDM_SIM_PROGRAM};
        all.insert(all.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& argument : all)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        const int error = ::posix_spawn(&pid_, LCDM_SIM_PROGRAM, &actions, nullptr, argv.data(), environ);
        ::posix_spawn_file_actions_destroy(&actions);
        ::close(input[0]);
        ::close(output[1]);
        stdin_ = input[1];
        stdout_ = output[0];
        if (error != 0)
            throw std::runtime_error("cannot start " LCDM_SIM_PROGRAM);
    }

    ~SimProcess()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        CloseStdin();
        ::close(stdout_);
    }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // One line of standard output; empty at its end or after 10 s.
    std::string ReadLine()
    {
        std::string line;
        for (char c = 0;;) {
            pollfd entry{stdout_, POLLIN, 0};
            if (::poll(&entry, 1, 10000) <= 0 || ::read(stdout_, &c, 1) != 1 || c == '\n')
                return line;
            line += c;
        }
    }

    // Everything left on standard output, until it closes (or 10 s pass).
    std::string ReadAll()
    {
        std::string text;
        char buffer[4096];
        for (;;) {
            pollfd entry{stdout_, POLLIN, 0};
            if (::poll(&entry, 1, 10000) <= 0)
                return text;
            const ssize_t got = ::read(stdout_, buffer, sizeof buffer);
            if (got <= 0)
                return text;
            text.append(buffer, static_cast<std::size_t>(got));
        }
    }

    void CloseStdin()
    {
        if (stdin_ >= 0)
            ::close(stdin_);
        stdin_ = -1;
    }

    void Signal(int signal) const { ::kill(pid_, signal); }

    // The exit code; -1 when it has not ended within 10 s (or died of a signal).
    int Wait()
    {
        const auto deadline = Clock::now() + 10s;
        int status = 0;
        while (::waitpid(pid_, &status, WNOHANG) == 0) {
            if (Clock::now() > deadline)
                return -1;
            std::this_thread::sleep_for(5ms);
        }
        pid_ = 0;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_ = 0;
    int stdin_ = -1;
    int stdout_ = -1;
};

class TempFolder {
public:
    TempFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "lcdm-sim-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("mkdtemp");
        path_ = pattern;
    }
    ~TempFolder() { std::filesystem::remove_all(path_); }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

TEST(LcdmSimProgram, ServesUntilSigtermThenWritesTheTruthAndRemovesItsLinks)
{
    const TempFolder folder;
    const auto link = folder / "com1";
    const auto truthFile = folder / "truth.jsonl";
    std::filesystem::create_symlink("/nonexistent", link); // an old link is replaced
    SimProcess process({"--model", "LCDM-1000", "--cassette1", "30", "--link", link.string(), "--control",
                        "127.0.0.1:0", "--ground-truth", truthFile.string(), "--fault", "reject-every:2"});
    const std::string control = process.ReadLine();
    ASSERT_EQ(control.rfind("CONTROL 127.0.0.1:", 0), 0u) << control;
    const std::string ready = process.ReadLine();
    ASSERT_EQ(ready.rfind("READY /dev/pts/", 0), 0u) << ready;
    const std::string device = ready.substr(6);
    EXPECT_EQ(std::filesystem::read_symlink(link), device);

    {
        const HostLine host(link.string());
        host.Send(CommandFrame(Dispense("02")));
        EXPECT_EQ(host.Receive(15), Bytes{kAck} + ResponseFrame(0x45, Ascii("0302" "0" "0" "01")));
        host.Send({kAck});
        ControlClient client(control.substr(8));
        ASSERT_TRUE(client.Ask("truth"));
    }
    process.Signal(SIGTERM);
    EXPECT_EQ(process.Wait(), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
    std::ifstream file(truthFile);
    std::string summary;
    ASSERT_TRUE(std::getline(file, summary));
    EXPECT_EQ(summary.rfind("{\"model\":\"LCDM-1000\",\"cassette1\":27,\"cassette2\":0,\"taken1\":3,", 0), 0u)
        << summary;
}

// The device's end of a null-modem pair: an existing terminal is served, and the host talks
// through the other end (here the pseudo-terminal's master).
TEST(LcdmSimProgram, ServesAnExistingTerminalGivenAsItsPort)
{
    HostLine host(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC), "a pseudo-terminal");
    char path[PATH_MAX];
    ASSERT_EQ(::grantpt(host.Fd()), 0);
    ASSERT_EQ(::unlockpt(host.Fd()), 0);
    ASSERT_EQ(::ptsname_r(host.Fd(), path, sizeof path), 0);

    lcdm::SimulatorOptions options = Options();
    options.port = path;
    options.links = {"/tmp/never-made"};
    EXPECT_THROW(lcdm::Simulator{options}, std::invalid_argument) << "links name a pseudo-terminal of its own";
    options.links.clear();
    lcdm::Simulator sim(options);
    EXPECT_EQ(sim.DevicePath(), path);
    host.Send(CommandFrame(Dispense("02")));
    EXPECT_EQ(host.Receive(15), Bytes{kAck} + ResponseFrame(0x45, Ascii("0202" "0" "0" "00")));
    host.Send({kAck});
    EXPECT_TRUE(sim.WaitUntil([](const lcdm::GroundTruth& truth) { return truth.moved.exited[0] == 2; }, 5s));
}

TEST(LcdmSimProgram, EndOfStandardInputStopsIt)
{
    SimProcess process({});
    const std::string ready = process.ReadLine();
    ASSERT_EQ(ready.rfind("READY ", 0), 0u) << ready;
    EXPECT_TRUE(std::filesystem::exists(ready.substr(6)));
    process.CloseStdin();
    EXPECT_EQ(process.Wait(), 0);
}

TEST(LcdmSimProgram, HelpAndBadArguments)
{
    SimProcess help({"--help"});
    const std::string text = help.ReadAll();
    EXPECT_EQ(help.Wait(), 0);
    for (const char* word : {"--model", "--cassette1", "--cassette2", "--near-end", "--link", "--fault", "--pace-baud",
                             "--ground-truth", "--control", "--firmware", "--port", "--version", "--ack-timeout",
                             "--over-reject",
                             "--ignore-stdin", "nak:N", "ack:XX", "silent:N", "mute:N", "bad-bcc:N", "bad-echo:N",
                             "short:N", "bad-payload:N", "jam-after:K", "empty:C", "set-count:C:N", "reject-every:N",
                             "note-ms:T", "error:XX", "missing:", "present:", "solenoid:", "clear", "truth", "frames",
                             "reset", "quit"})
        EXPECT_NE(text.find(word), std::string::npos) << word;

    SimProcess version({"--version"});
    EXPECT_EQ(version.ReadAll(), "lcdm-sim " LCDM_SIM_PROJECT_VERSION "\n");
    EXPECT_EQ(version.Wait(), 0);

    SimProcess bad({"--fault", "nak:many"});
    EXPECT_EQ(bad.ReadLine(), "") << "no READY line";
    EXPECT_EQ(bad.Wait(), 2);
}

} // namespace
