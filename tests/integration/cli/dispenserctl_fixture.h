// The fixture of the dispenserctl tests: the real program run as a child process
// against the simulated dispenser, with a scratch hive file as its registry.
#pragma once

#include "Plugin/Dispenser/settings.h"
#include "framework/real_time.h"
#include "framework/registry.h"
#include "framework/text_format.h"
#include "tests/integration/cli/child_process.h"
#include "tests/support/simulated_dispenser.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_registry.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace cli_test {

using Texts = std::vector<std::string>;

inline constexpr auto kPatience = std::chrono::seconds(20);
inline const std::string kDispenserKey = std::string("HKEY_LOCAL_MACHINE\\") + DispenserControl::kSettingsKey;

inline std::string Today()
{
    const CalendarTime now = Now().Calendar();
    return FormatText("%04d-%02d-%02d", now.year, now.month, now.day);
}

inline ChildProcess::Ready OutputHas(const std::string& text)
{
    return [text](const std::string& out, const std::string&) { return out.find(text) != std::string::npos; };
}

inline ChildProcess::Ready ErrorsHave(const std::string& text)
{
    return [text](const std::string&, const std::string& err) { return err.find(text) != std::string::npos; };
}

// The words of the first line that begins with `start` ("Cassette 1  1000  195 ...").
inline Texts RowOf(const std::string& text, const std::string& start)
{
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(start, 0) != 0)
            continue;
        std::istringstream words(line.substr(start.size()));
        Texts row;
        for (std::string word; words >> word;)
            row.push_back(word);
        return row;
    }
    return {};
}

class DispenserCtlTest : public ::testing::Test {
protected:
    // The tool with this test's hive file as its registry.
    Texts Command(const Texts& arguments) const
    {
        Texts command{DISPENSERCTL_PROGRAM, "--registry", registry_.HiveFile()};
        command.insert(command.end(), arguments.begin(), arguments.end());
        return command;
    }
    ChildProcess::Result Run(const Texts& arguments, const std::string& input = {}) const
    {
        return RunProgram(Command(arguments), input, kPatience);
    }

    // A simulated device and its configuration, imported the way a technician would.
    void Configure(const std::string& model = "LCDM-2000", unsigned cassette1 = 200, unsigned cassette2 = 150)
    {
        device_ = std::make_unique<SimulatedDispenser>(model, cassette1, cassette2);
        const std::string file = folder_.File("setup.reg");
        WriteFileBytes(file, FormatText("Windows Registry Editor Version 5.00\n\n"
                                        "[%s]\n"
                                        "\"Device\"=\"%s\"\n"
                                        "\"Off\"=dword:00000000\n"
                                        "\"Port\"=\"%s\"\n"
                                        "\"LogDir\"=\"%s\"\n"
                                        "\"DebugLog\"=\"%s\"\n"
                                        "\"ReadTotalTimeoutConstant\"=dword:0000012c\n"
                                        "\"DeviceResponseTimeout\"=dword:00000bb8\n\n"
                                        "[%s\\Cassette\\1]\n"
                                        "\"Denomination\"=dword:000003e8\n"
                                        "\"Count\"=dword:%08x\n"
                                        "\"Flags\"=dword:00000003\n\n"
                                        "[%s\\Cassette\\2]\n"
                                        "\"Denomination\"=dword:000001f4\n"
                                        "\"Count\"=dword:%08x\n"
                                        "\"Flags\"=dword:00000003\n\n"
                                        "[%s\\Reject]\n"
                                        "\"Count\"=dword:00000000\n"
                                        "\"Flags\"=dword:00000001\n",
                                        kDispenserKey.c_str(), model.c_str(), device_->PortName().c_str(),
                                        folder_.File("journal").c_str(), folder_.File("trace*.txt").c_str(),
                                        kDispenserKey.c_str(), cassette1, kDispenserKey.c_str(), cassette2,
                                        kDispenserKey.c_str()));
        const ChildProcess::Result imported = Run({"config", "import", file});
        ASSERT_EQ(imported.status, 0) << imported.err;
    }

    // Read-only: a look at the registry changes nothing in it.
    static RegKey Key(const std::string& subkey = {})
    {
        const std::string path = std::string(DispenserControl::kSettingsKey) + (subkey.empty() ? "" : "\\" + subkey);
        return RegKey(RegistryRoot::LocalMachine, path, false, RegAccessRead);
    }
    static std::uint32_t Count(const std::string& subkey) { return Key(subkey).ReadDword("Count"); }

    std::string Journal() const { return ReadFileBytes(folder_.File("journal") + "/" + Today() + ".txt"); }

    TestRegistry registry_;
    TempFolder folder_;
    std::unique_ptr<SimulatedDispenser> device_;
};

} // namespace cli_test
