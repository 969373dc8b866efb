// kiosk-host's own parts: the session's variable store, and the command line with its
// scripts (settings wherever they stand, commands in order, every mistake refused
// before anything runs).
#include "tests/support/temp_folder.h"
#include "tools/kiosk-host/command_line.h"
#include "tools/kiosk-host/event_timing.h"
#include "tools/kiosk-host/variable_store.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Pair;

TEST(VariableStoreTest, NamesMatchWithoutRegardToAsciiCase)
{
    VariableStore store;
    EXPECT_EQ(store.Get("Dispenser.Result"), "");
    store.Set("Dispenser.Dispense", "3700");
    EXPECT_EQ(store.Get("dispenser.DISPENSE"), "3700");
    store.Set("DISPENSER.dispense", "200");
    // One variable, with the spelling of the write that created it.
    EXPECT_THAT(store.List(), ElementsAre(Pair("Dispenser.Dispense", "200")));
    // Only ASCII letters are folded.
    store.Set("Сумма", "1");
    EXPECT_EQ(store.Get("СУММА"), "");
    EXPECT_EQ(store.Get("Сумма"), "1");
}

TEST(VariableStoreTest, EmptyTextIsNoVariable)
{
    VariableStore store;
    store.Set("Dispenser.Dispense1", "3");
    store.Set("dispenser.dispense1", "");
    EXPECT_EQ(store.Get("Dispenser.Dispense1"), "");
    EXPECT_TRUE(store.List().empty());
    store.Set("Never.Set", "");
    EXPECT_TRUE(store.List().empty());
    // Written again after the clear, it takes the new spelling.
    store.Set("DISPENSER.DISPENSE1", "4");
    EXPECT_THAT(store.List(), ElementsAre(Pair("DISPENSER.DISPENSE1", "4")));
}

TEST(VariableStoreTest, ListsByPrefixInCaselessOrder)
{
    VariableStore store;
    for (const char* name : {"b", "Dispenser.Result", "Dispenser", "dispenser.cassettes", "A", "Dispenser.Dispense1",
                             "XDispenser.Y", "Dispenser.Cassette1.Counter"})
        store.Set(name, "1");
    EXPECT_THAT(store.List("DISPENSER."),
                ElementsAre(Pair("Dispenser.Cassette1.Counter", "1"), Pair("dispenser.cassettes", "1"),
                            Pair("Dispenser.Dispense1", "1"), Pair("Dispenser.Result", "1")));
    EXPECT_EQ(store.List().size(), 8u);
    EXPECT_EQ(store.List().front().first, "A");
    EXPECT_EQ(store.List().back().first, "XDispenser.Y");
    EXPECT_TRUE(store.List("Dispenser.Z").empty());
    EXPECT_THAT(store.List("Dispenser.Result"), ElementsAre(Pair("Dispenser.Result", "1")));
}

Command MakeCommand(CommandKind kind, std::string name = {}, std::string text = {}, bool failed = false)
{
    Command command;
    command.kind = kind;
    command.name = std::move(name);
    command.text = std::move(text);
    command.failed = failed;
    return command;
}

std::string UsageErrorOf(const std::vector<std::string>& arguments)
{
    try {
        ParseCommandLine(arguments);
    } catch (const UsageError& error) {
        return error.what();
    }
    return "(accepted)";
}

TEST(CommandLineTest, SettingsHoldForTheRunAndCommandsKeepTheirOrder)
{
    const Invocation invocation =
        ParseCommandLine({"--set", "Dispenser.Dispense=3700", "--install", "--event", "Dispenser.Calculate",
                          "--root", "Z:\\kiosk", "--late-bound", "--dump", "--device-state", "Dispenser=1",
                          "--app-name", "Киоск", "--app-build", "4294967295", "--dump", "Dispenser.", "--prepare",
                          "--timing", "Z:\\t.txt"});
    EXPECT_FALSE(invocation.help);
    EXPECT_EQ(invocation.settings.timingPath, "Z:\\t.txt");
    EXPECT_TRUE(invocation.settings.install);
    EXPECT_EQ(invocation.settings.rootPath, "Z:\\kiosk");
    EXPECT_EQ(invocation.settings.pluginPath, "");
    EXPECT_EQ(invocation.settings.application.name, "Киоск");
    EXPECT_EQ(invocation.settings.application.version, "3.5");
    EXPECT_EQ(invocation.settings.application.build, 4294967295ul);
    EXPECT_THAT(invocation.commands,
                ElementsAre(MakeCommand(CommandKind::Set, "Dispenser.Dispense", "3700"),
                            MakeCommand(CommandKind::Event, "Dispenser.Calculate"),
                            MakeCommand(CommandKind::LateBound),
                            MakeCommand(CommandKind::Dump), // its argument may not begin with "--"
                            MakeCommand(CommandKind::DeviceState, "Dispenser", "", true),
                            MakeCommand(CommandKind::Dump, "Dispenser."), MakeCommand(CommandKind::Prepare)));
}

TEST(CommandLineTest, AssignmentsSplitAtTheFirstEqualsSign)
{
    EXPECT_THAT(ParseCommandLine({"--set", "A=b=c", "--set", "Dispenser.Message=", "--device-state", "Printer=0"})
                    .commands,
                ElementsAre(MakeCommand(CommandKind::Set, "A", "b=c"),
                            MakeCommand(CommandKind::Set, "Dispenser.Message", ""),
                            MakeCommand(CommandKind::DeviceState, "Printer", "", false)));
}

TEST(CommandLineTest, RefusesMistakes)
{
    EXPECT_THAT(UsageErrorOf({"--bogus"}), HasSubstr("unknown option '--bogus'"));
    EXPECT_THAT(UsageErrorOf({"event"}), HasSubstr("unexpected argument 'event'"));
    EXPECT_THAT(UsageErrorOf({"--event"}), HasSubstr("--event needs NAME"));
    EXPECT_THAT(UsageErrorOf({"--event", ""}), HasSubstr("--event needs NAME"));
    EXPECT_THAT(UsageErrorOf({"--set", "NoValue"}), HasSubstr("NAME=VALUE"));
    EXPECT_THAT(UsageErrorOf({"--set", "=3700"}), HasSubstr("NAME=VALUE"));
    EXPECT_THAT(UsageErrorOf({"--device-state", "Dispenser=2"}), HasSubstr("NAME=0 or NAME=1"));
    EXPECT_THAT(UsageErrorOf({"--device-state", "=1"}), HasSubstr("NAME=VALUE"));
    EXPECT_THAT(UsageErrorOf({"--app-build", "4294967296"}), HasSubstr("--app-build"));
    EXPECT_THAT(UsageErrorOf({"--app-build", "-1"}), HasSubstr("--app-build"));
    EXPECT_THAT(UsageErrorOf({"--app-build", "12x"}), HasSubstr("--app-build"));
    EXPECT_EQ(UsageErrorOf({"--app-build", "0", "--dump", "-x"}), "(accepted)");
    EXPECT_TRUE(ParseCommandLine({"--event", "X", "--help"}).help);
}

// Pictures name the tests' artifacts folder as %ARTIFACTS_DIR%: only names that are set
// expand, and a missing one is a mistake rather than a folder literally named so.
TEST(CommandLineTest, ControlPictureNamesExpandFromTheEnvironment)
{
    SetEnvironmentVariableW(L"KIOSK_HOST_TEST_FOLDER", L"Z:\\артефакты");
    SetEnvironmentVariableW(L"KIOSK_HOST_TEST_UNSET", nullptr);
    EXPECT_THAT(ParseCommandLine({"--control", "--control-apply", "--control-screenshot",
                                  "%KIOSK_HOST_TEST_FOLDER%\\sheet 100%%.bmp", "--control-screenshot", "a%b"})
                    .commands,
                ElementsAre(MakeCommand(CommandKind::Control), MakeCommand(CommandKind::ControlApply),
                            MakeCommand(CommandKind::ControlPicture, "Z:\\артефакты\\sheet 100%.bmp"),
                            MakeCommand(CommandKind::ControlPicture, "a%b")));
    EXPECT_THAT(UsageErrorOf({"--control-screenshot", "%KIOSK_HOST_TEST_UNSET%\\x.bmp"}),
                HasSubstr("KIOSK_HOST_TEST_UNSET"));
    EXPECT_THAT(UsageErrorOf({"--control-screenshot"}), HasSubstr("--control-screenshot needs FILE"));
    SetEnvironmentVariableW(L"KIOSK_HOST_TEST_FOLDER", nullptr);
}

class ScriptTest : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const std::string& text) const
    {
        const std::string path = folder_.File(name);
        WriteFileBytes(path, text);
        return path;
    }

    TempFolder folder_;
};

TEST_F(ScriptTest, LinesAreCommandsWithOrWithoutDashes)
{
    const std::string script = Write("session.script", "\xEF\xBB\xBF# a kiosk session\r\n"
                                                       "\r\n"
                                                       "  set Dispenser.Message=two  words \r\n"
                                                       "--event\tDispenser.Calculate\r\n"
                                                       "   # indented comment\n"
                                                       "dump\n"
                                                       "install\n"
                                                       "terminal-event Poll");
    const Invocation invocation = ParseCommandLine({"--prepare", "--script", script, "--dump", "X"});
    EXPECT_TRUE(invocation.settings.install);
    EXPECT_THAT(invocation.commands,
                ElementsAre(MakeCommand(CommandKind::Prepare),
                            MakeCommand(CommandKind::Set, "Dispenser.Message", "two  words"),
                            MakeCommand(CommandKind::Event, "Dispenser.Calculate"), MakeCommand(CommandKind::Dump),
                            MakeCommand(CommandKind::TerminalEvent, "Poll"), MakeCommand(CommandKind::Dump, "X")));
}

TEST_F(ScriptTest, ScriptsNamedInScriptsAreFoundBesideThem)
{
    Write("inner.script", "event Inner\n");
    const std::string outer = Write("outer.script", "event Before\nscript inner.script\nevent After\n");
    EXPECT_THAT(ParseCommandLine({"--script", outer}).commands,
                ElementsAre(MakeCommand(CommandKind::Event, "Before"), MakeCommand(CommandKind::Event, "Inner"),
                            MakeCommand(CommandKind::Event, "After")));
}

TEST_F(ScriptTest, MistakesNameTheLineOfTheInnermostScript)
{
    Write("inner.script", "event Inner\n\nbogus thing\n");
    const std::string outer = Write("outer.script", "# outer\nscript inner.script\n");
    EXPECT_EQ(UsageErrorOf({"--script", outer}), "inner.script:3: unknown command 'bogus'");

    const std::string noArgument = Write("prepare.script", "prepare now\n");
    // The place is the script's name as it was given (here a full path).
    EXPECT_THAT(UsageErrorOf({"--script", noArgument}), EndsWith("prepare.script:1: prepare takes no argument"));
    const std::string missing = Write("missing.script", "event\n");
    EXPECT_THAT(UsageErrorOf({"--script", missing}), EndsWith("missing.script:1: --event needs NAME"));

    const std::string absent = Write("absent.script", "\nscript no-such.script\n");
    EXPECT_THAT(UsageErrorOf({"--script", absent}), EndsWith("absent.script:2: cannot read the script no-such.script"));
    EXPECT_THAT(UsageErrorOf({"--script", folder_.File("none.script")}), HasSubstr("cannot read the script"));
}

TEST_F(ScriptTest, AScriptThatNamesItselfIsRefused)
{
    const std::string script = Write("self.script", "event Again\nscript self.script\n");
    EXPECT_THAT(UsageErrorOf({"--script", script}), HasSubstr("a script that names itself"));
}

// The kiosk's event times are set against the simulated device's, which reads the system
// clock as a POSIX program: the two must be one clock, in microseconds since 1970.
TEST(EventTimingTest, TimesAreTheSystemClocksAndEachEventIsOneLine)
{
    const long long reference = std::chrono::duration_cast<std::chrono::microseconds>(
                                    std::chrono::system_clock::now().time_since_epoch())
                                    .count();
    const std::int64_t now = SystemClockMicroseconds();
    EXPECT_LT(std::llabs(now - reference), 1'000'000LL) << now << " against " << reference;

    TempFolder folder;
    const std::string path = folder.File("timing.txt");
    AppendEventTiming(path, "Dispenser.Calculate", now, now + 2);
    AppendEventTiming(path, "Dispenser.Dispense", now + 3, now + 90'000);
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    // A text file of Windows: its lines end in CR LF.
    EXPECT_EQ(text.str(), "Dispenser.Calculate " + std::to_string(now) + " " + std::to_string(now + 2) +
                              "\r\nDispenser.Dispense " + std::to_string(now + 3) + " " +
                              std::to_string(now + 90'000) + "\r\n");
}

} // namespace
