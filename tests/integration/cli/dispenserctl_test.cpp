// dispenserctl as a technician uses it: the real program run as a child process
// against the simulated dispenser, with a scratch hive file as its registry. What it
// prints, its exit statuses, the registry counters, the journal and the simulator's
// ground truth have to agree.
#include "Plugin/Dispenser/version.h"
#include "tests/integration/cli/dispenserctl_fixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

using ::testing::AnyOf;
using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::Not;
using namespace cli_test;

TEST_F(DispenserCtlTest, HelpListsEveryCommandAndExplainsEach)
{
    const ChildProcess::Result overview = RunProgram({DISPENSERCTL_PROGRAM, "--help"});
    ASSERT_EQ(overview.status, 0) << overview.err;
    for (const char* command : {"version", "status", "purge", "test-reject 1|2", "dispense N1 [N2]", "counters  ",
                                "counters set", "reconcile", "split AMOUNT", "config show", "config set", "config import", "log [", "help"})
        EXPECT_THAT(overview.out, HasSubstr(std::string("\n  ") + command)) << command;
    EXPECT_THAT(overview.out, AllOf(HasSubstr("--registry FILE"), HasSubstr("Exit status")));

    // The project's one version, as the plug-in's version record has it.
    const ChildProcess::Result version = RunProgram({DISPENSERCTL_PROGRAM, "--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "dispenserctl " DISPENSER_VERSION_TEXT "\n");

    const ChildProcess::Result dispense = RunProgram({DISPENSERCTL_PROGRAM, "dispense", "--help"});
    EXPECT_EQ(dispense.status, 0);
    EXPECT_THAT(dispense.out, AllOf(HasSubstr("Usage: dispenserctl dispense N1 [N2]"), HasSubstr("Ctrl+C")));
    const ChildProcess::Result set = RunProgram({DISPENSERCTL_PROGRAM, "help", "config", "set"});
    EXPECT_EQ(set.status, 0);
    EXPECT_THAT(set.out,
                AllOf(HasSubstr("dword:000000fa  a DWORD"), HasSubstr("\"007\"           a string"),
                      HasSubstr("See also:\n  dispenserctl config show\n"), Not(HasSubstr("Applies every change"))));
    const ChildProcess::Result group = RunProgram({DISPENSERCTL_PROGRAM, "config", "--help"});
    EXPECT_EQ(group.status, 0);
    EXPECT_THAT(group.out, AllOf(HasSubstr("config show"), HasSubstr("config set"), HasSubstr("--any-key")));
}

// A wrong command line does nothing (not even create the hive file) and says how to
// get it right.
TEST_F(DispenserCtlTest, UsageErrorsExitWithTwoAndAHint)
{
    const std::vector<std::pair<Texts, std::string>> cases = {
        {{}, "no command given"},
        {{"stauts"}, "did you mean 'status'?"},
        {{"dispense"}, "argument"},
        {{"dispense", "abc"}, "must be a whole number"},
        {{"dispense", "-3"}, "must be a whole number"},
        {{"dispense", "4294967296"}, "too large"},
        {{"dispense", "0", "0"}, "nothing to pay out"},
        {{"dispense", "1", "2", "3"}, "too many arguments"},
        {{"test-reject", "3"}, "1 (upper) or 2 (lower)"},
        {{"status", "--bogus"}, "unknown option '--bogus'"},
        {{"config"}, "say what to do"},
        {{"config", "set", "Device"}, "is not NAME=VALUE"},
        {{"config", "set", "Flags=dword:123456789"}, "1 to 8 hexadecimal digits"},
        {{"config", "set", "Flags=dword:12G4"}, "1 to 8 hexadecimal digits"},
        {{"config", "set", "Count=4294967296"}, "does not fit a DWORD"},
        {{"config", "set", "Cassette\\=1"}, "names no value"},
        {{"counters", "set", "3", "10"}, "1, 2 or reject"},
        {{"log", "--date", "yesterday"}, "YYYY-MM-DD"},
        {{"log", "--lines"}, "needs a value"},
    };
    for (const auto& [arguments, reason] : cases) {
        const ChildProcess::Result result = Run(arguments);
        EXPECT_EQ(result.status, 2) << ::testing::PrintToString(arguments);
        EXPECT_THAT(result.err, AllOf(HasSubstr(reason), HasSubstr("--help"))) << ::testing::PrintToString(arguments);
        EXPECT_TRUE(result.out.empty()) << result.out;
    }
    EXPECT_TRUE(ReadFileBytes(registry_.HiveFile()).empty());

    const ChildProcess::Result noRegistry = RunProgram({DISPENSERCTL_PROGRAM, "counters"});
    EXPECT_EQ(noRegistry.status, 2);
    EXPECT_THAT(noRegistry.err, HasSubstr("--registry FILE"));
    const ChildProcess::Result emptyName = RunProgram({DISPENSERCTL_PROGRAM, "--registry=", "counters"});
    EXPECT_EQ(emptyName.status, 2);
    EXPECT_THAT(emptyName.err, HasSubstr("needs a file name"));
}

TEST_F(DispenserCtlTest, ConfigShowPrintsARegFileThatImportsBack)
{
    Configure();
    const ChildProcess::Result shown = Run({"config", "show"});
    ASSERT_EQ(shown.status, 0) << shown.err;
    EXPECT_EQ(shown.out.rfind("Windows Registry Editor Version 5.00\n", 0), 0u);
    EXPECT_THAT(shown.out, AllOf(HasSubstr("[" + kDispenserKey + "]\n"), HasSubstr("\"Device\"=\"LCDM-2000\"\n"),
                                 HasSubstr("[" + kDispenserKey + "\\Cassette\\1]\n\"Count\"=dword:000000c8\n"),
                                 HasSubstr("[" + kDispenserKey + "\\Reject]\n")));
    // Only the dispenser's own tree, not the keys above it.
    EXPECT_THAT(shown.out, Not(HasSubstr("[HKEY_LOCAL_MACHINE\\Software]")));

    const std::string backup = folder_.File("backup.reg");
    WriteFileBytes(backup, shown.out);
    ASSERT_EQ(Run({"config", "set", "Device=LCDM-1000", "Cassette\\1\\Count=7"}).status, 0);
    const ChildProcess::Result restored = Run({"config", "import", backup});
    ASSERT_EQ(restored.status, 0) << restored.err;
    EXPECT_EQ(Key().ReadString("Device"), "LCDM-2000");
    EXPECT_EQ(Count("Cassette\\1"), 200u);
    EXPECT_EQ(Run({"config", "show"}).out, shown.out);
}

TEST_F(DispenserCtlTest, StatusAndVersionShowTheDeviceWithLiveProgress)
{
    Configure();
    const ChildProcess::Result status = Run({"status"});
    ASSERT_EQ(status.status, 0) << status.err;
    EXPECT_THAT(status.out, AllOf(HasSubstr("Error code:  30h  Good"), HasSubstr("Sensors 0:   80h"),
                                  HasSubstr("Faults:      none")));
    // The trace lines, without their date, came before the result.
    EXPECT_THAT(status.out, HasSubstr("OK    Опрос состояния устройства: ответ получен"));
    EXPECT_LT(status.out.find("ответ получен"), status.out.find("Error code:"));
    EXPECT_THAT(status.out, Not(HasSubstr(Today() + " ")));

    const ChildProcess::Result version = Run({"version", "--quiet"});
    ASSERT_EQ(version.status, 0) << version.err;
    EXPECT_EQ(version.out, "Firmware version: V1.2\n");
    EXPECT_EQ(device_->Truth().commands, 2u);

    // A device that answers with a fault fails the command.
    device_->Fault("missing:1");
    const ChildProcess::Result fault = Run({"status", "-q"});
    EXPECT_EQ(fault.status, 1);
    EXPECT_THAT(fault.out, HasSubstr("Faults:      device fault, sensor fault"));
    EXPECT_THAT(fault.err, HasSubstr("dispenserctl: Состояние датчиков: ошибка"));
}

TEST_F(DispenserCtlTest, DispenseUpdatesCountersJournalAndTruthAlike)
{
    Configure();
    const ChildProcess::Result payout = Run({"dispense", "5", "3"});
    ASSERT_EQ(payout.status, 0) << payout.err;
    EXPECT_THAT(payout.out, AllOf(HasSubstr("Cassette #1: dispensed 5 of 5, rejected 0\n"),
                                  HasSubstr("Cassette #2: dispensed 3 of 3, rejected 0\n")));
    EXPECT_TRUE(payout.err.empty()) << payout.err;

    const SimulatorTruth truth = device_->Truth();
    EXPECT_EQ(truth.exit1, 5u);
    EXPECT_EQ(truth.exit2, 3u);
    EXPECT_EQ(Count("Cassette\\1"), 200u - truth.taken1);
    EXPECT_EQ(Count("Cassette\\2"), 150u - truth.taken2);

    const ChildProcess::Result counters = Run({"counters"});
    ASSERT_EQ(counters.status, 0) << counters.err;
    EXPECT_EQ(RowOf(counters.out, "Cassette 1"), (Texts{"1000", "195", "yes", "yes", "none"}));
    EXPECT_EQ(RowOf(counters.out, "Cassette 2"), (Texts{"500", "147", "yes", "yes", "none"}));
    EXPECT_EQ(RowOf(counters.out, "Reject bin"), (Texts{"-", "0", "yes", "-", "none"}));

    const ChildProcess::Result log = Run({"log"});
    ASSERT_EQ(log.status, 0) << log.err;
    EXPECT_THAT(log.out, AllOf(HasSubstr("4\tDISPENSED\t5\t;выдано купюр из кассеты #1: 5 шт.\n"),
                               HasSubstr("4\tDISPENSED\t3\t;выдано купюр из кассеты #2: 3 шт.\n")));
    EXPECT_EQ(log.out, Journal());
}

// A payout whose answer is lost leaves its notes in doubt: the tool says so, refuses
// the next payout, shows the range to count in, and a count settles it.
// The settings that ship with the release import cleanly and make a configuration the
// tool accepts.
TEST_F(DispenserCtlTest, TheReleasesSettingsImportIntoAWorkingConfiguration)
{
    const std::pair<const char*, const char*> files[] = {{"dispenser-template.reg", "LCDM-2000"},
                                                         {"lcdm-2000.reg", "LCDM-2000"},
                                                         {"lcdm-1000.reg", "LCDM-1000"}};
    for (const auto& [file, model] : files) {
        SCOPED_TRACE(file);
        const std::string hive = folder_.File(std::string(file) + ".hive");
        const ChildProcess::Result imported = RunProgram(
            {DISPENSERCTL_PROGRAM, "--registry", hive, "config", "import", std::string(RELEASE_SETTINGS_DIR) + "/" + file});
        ASSERT_EQ(imported.status, 0) << imported.err;
        const ChildProcess::Result counters = RunProgram({DISPENSERCTL_PROGRAM, "--registry", hive, "counters"});
        EXPECT_EQ(counters.status, 0) << counters.err;
        EXPECT_THAT(counters.out, HasSubstr(std::string("Device ") + model + " on COM1, enabled"));
        EXPECT_THAT(counters.out, HasSubstr("Cassette 1  1000"));
        EXPECT_TRUE(counters.err.empty()) << counters.err;
    }
}

TEST_F(DispenserCtlTest, ALostAnswerIsReconciledByTheTechniciansCount)
{
    Configure();
    ASSERT_EQ(Run({"config", "set", "DeviceResponseTimeout=400", "MaxDispense=5"}).status, 0);
    device_->Fault("mute:1");
    const ChildProcess::Result payout = Run({"dispense", "4"});
    EXPECT_EQ(payout.status, 1);
    EXPECT_THAT(payout.out, HasSubstr("Cassette #1: dispensed 0 of 4, rejected 0, IN DOUBT 4"));
    EXPECT_THAT(Run({"status"}).out, HasSubstr("PASS IN DOUBT: 4 + 0 notes"));
    EXPECT_EQ(Run({"dispense", "1", "--quiet"}).status, 1);
    EXPECT_EQ(device_->Truth().exit1, 4u);

    const ChildProcess::Result shown = Run({"reconcile"});
    ASSERT_EQ(shown.status, 0) << shown.err;
    EXPECT_THAT(shown.out, HasSubstr("Cassette 1: count the notes; expected between 196 and 200."));
    const ChildProcess::Result counted = Run({"reconcile", "--cassette1", "196"});
    ASSERT_EQ(counted.status, 0) << counted.err;
    EXPECT_THAT(counted.out, HasSubstr("No pass in doubt is left"));
    EXPECT_EQ(Count("Cassette\\1"), 196u);
    EXPECT_THAT(Journal(), AllOf(HasSubstr("16\tPENDING\t4\t;"), HasSubstr("17\tUNKNOWN\t4\t;"),
                                 HasSubstr("18\tRECONCILED\t196\t;")));
    ASSERT_EQ(Run({"dispense", "1", "--quiet"}).status, 0);
    EXPECT_EQ(Count("Cassette\\1"), 195u);
}

// The cassette holds fewer notes than the registry believes: the payout stops short,
// which fails the command although the device did all it could.
TEST_F(DispenserCtlTest, APayoutThatStopsShortFails)
{
    Configure("LCDM-2000", 3, 150);
    ASSERT_EQ(Run({"config", "set", "Cassette\\1\\Count=200"}).status, 0);
    const ChildProcess::Result payout = Run({"dispense", "5", "--quiet"});
    EXPECT_EQ(payout.status, 1);
    EXPECT_EQ(device_->Truth().exit1, 3u);
    EXPECT_EQ(payout.out, "Cassette #1: dispensed 3 of 5, rejected 0\n");
    EXPECT_THAT(payout.err, HasSubstr("dispenserctl: "));
}

TEST_F(DispenserCtlTest, CountersShowLimitsAndOneCassetteForAnLcdm1000)
{
    Configure("LCDM-1000", 80, 0);
    ASSERT_EQ(Run({"config", "set", "Cassette\\1\\Flags=dword:0000000f", "Cassette\\1\\Max Dispense=30",
                   "Cassette\\1\\Min Amount=10", "Reject\\Flags=dword:00000005", "Reject\\Max Limit=50",
                   "Flags=dword:00000004", "Max=20000"})
                  .status,
              0);
    const ChildProcess::Result counters = Run({"counters"});
    ASSERT_EQ(counters.status, 0) << counters.err;
    EXPECT_THAT(counters.out, HasSubstr("Device LCDM-1000 on " + device_->PortName() + ", enabled"));
    EXPECT_EQ(RowOf(counters.out, "Cassette 1"),
              (Texts{"1000", "80", "yes", "yes", "max", "30", "per", "payout,", "reserve", "10"}));
    EXPECT_TRUE(RowOf(counters.out, "Cassette 2").empty());
    EXPECT_EQ(RowOf(counters.out, "Reject bin"), (Texts{"-", "0", "yes", "-", "max", "50"}));
    EXPECT_THAT(counters.out, HasSubstr("Payout limit: 20000 per operation"));
}

TEST_F(DispenserCtlTest, SplitShowsTheKiosksDivisionWithoutPayingOut)
{
    Configure();
    const ChildProcess::Result split = Run({"split", "3700"});
    ASSERT_EQ(split.status, 0) << split.err;
    EXPECT_THAT(split.out, AllOf(HasSubstr("Cassette 1: 3 x 1000 = 3000"), HasSubstr("Cassette 2: 1 x 500 = 500"),
                                 HasSubstr("Not payable: 200")));
    EXPECT_EQ(Count("Cassette\\1"), 200u);

    // The payout limit caps the amount, and a too-small amount pays nothing at all.
    ASSERT_EQ(Run({"config", "set", "Flags=dword:00000004", "Max=2000"}).status, 0);
    EXPECT_THAT(Run({"split", "3700"}).out,
                AllOf(HasSubstr("Cassette 1: 2 x 1000"), HasSubstr("Cassette 2: 0 x 500"), HasSubstr("Not payable: 1700")));
    const ChildProcess::Result tooSmall = Run({"split", "300"});
    EXPECT_EQ(tooSmall.status, 1);
    EXPECT_THAT(tooSmall.out, HasSubstr("Not payable: 300"));
    EXPECT_EQ(Run({"split", "-5"}).status, 2);
}

TEST_F(DispenserCtlTest, ConfigSetWritesTheTypeTheValueSpells)
{
    const ChildProcess::Result set =
        Run({"config", "set", "Cassette\\1\\Count=250", "Cassette/2/Flags=dword:0000000B", "Port=\"COM3\"",
             "Device=LCDM-2000", "Log Window\\Show=1", "Note=", "Quoted=\"say \\\"hi\\\"\"", "Code=\"007\""});
    ASSERT_EQ(set.status, 0) << set.err;
    EXPECT_THAT(set.out,
                AllOf(HasSubstr("Cassette\\1\\Count = dword:000000fa (250)\n"),
                      HasSubstr("Cassette\\2\\Flags = dword:0000000b (11)\n"), HasSubstr("Port = \"COM3\"\n")));
    EXPECT_EQ(Count("Cassette\\1"), 250u);
    EXPECT_EQ(Key("Cassette\\2").ReadDword("Flags"), 11u);
    EXPECT_EQ(Key().ReadString("Port"), "COM3");
    EXPECT_EQ(Key().ReadString("Device"), "LCDM-2000");
    EXPECT_EQ(Key("Log Window").ReadDword("Show"), 1u);
    EXPECT_EQ(Key().Read("Note"), RegData::String(""));
    EXPECT_EQ(Key().ReadString("Quoted"), "say \"hi\"");
    EXPECT_EQ(Key().Read("Code"), RegData::String("007"));

    // One bad assignment among good ones writes none of them.
    EXPECT_EQ(Run({"config", "set", "Cassette\\1\\Count=9", "Flags=dword:xyz"}).status, 2);
    EXPECT_EQ(Count("Cassette\\1"), 250u);

    const ChildProcess::Result retyped = Run({"config", "set", "Cassette\\1\\Count=many", "Device=LCDM2000"});
    EXPECT_EQ(retyped.status, 0);
    EXPECT_THAT(retyped.err, AllOf(HasSubstr("Cassette\\1\\Count was a DWORD and is now a string"),
                                   HasSubstr("knows only LCDM-1000 and LCDM-2000")));
    EXPECT_EQ(Key("Cassette\\1").ReadString("Count"), "many");
}

TEST_F(DispenserCtlTest, ImportStaysInsideTheProductTreeUnlessAskedNotTo)
{
    const std::string file = folder_.File("mixed.reg");
    WriteFileBytes(file, "Windows Registry Editor Version 5.00\n\n"
                         "[" +
                             kDispenserKey +
                             "]\n\"Debug\"=dword:00000001\n\n"
                             "[HKEY_LOCAL_MACHINE\\Software\\Orvane\\TallivoxOld]\n\"X\"=\"1\"\n\n"
                             "[HKEY_CURRENT_USER\\Software\\Other]\n\"Y\"=dword:00000002\n");
    const ChildProcess::Result refused = Run({"config", "import", file});
    EXPECT_EQ(refused.status, 1);
    EXPECT_THAT(refused.err, AllOf(HasSubstr("HKEY_LOCAL_MACHINE\\Software\\Orvane\\TallivoxOld"),
                                   HasSubstr("HKEY_CURRENT_USER\\Software\\Other"), HasSubstr("--any-key")));
    EXPECT_THAT(refused.err, Not(HasSubstr("  " + kDispenserKey)));
    EXPECT_FALSE(Key().HasValue("Debug"));

    const ChildProcess::Result forced = Run({"config", "import", "--any-key", file});
    ASSERT_EQ(forced.status, 0) << forced.err;
    EXPECT_THAT(forced.out, HasSubstr("3 key(s), 3 value(s) set"));
    EXPECT_EQ(Key().ReadDword("Debug"), 1u);
    EXPECT_EQ(RegKey(RegistryRoot::CurrentUser, "Software\\Other", false, RegAccessRead).ReadDword("Y"), 2u);

    WriteFileBytes(file, "Windows Registry Editor Version 5.00\n\n[-HKEY_CURRENT_USER\\Software\\Other]\n\n"
                         "[" +
                             kDispenserKey + "]\n\"Debug\"=-\n");
    const ChildProcess::Result deleted = Run({"config", "import", "--any-key", file});
    ASSERT_EQ(deleted.status, 0) << deleted.err;
    EXPECT_THAT(deleted.out, HasSubstr("1 key(s) and 1 value(s) deleted"));
    EXPECT_FALSE(Key().HasValue("Debug"));
    EXPECT_FALSE(RegKey(RegistryRoot::CurrentUser, "Software\\Other", false, RegAccessRead).IsOpen());

    WriteFileBytes(file, "Windows Registry Editor Version 5.00\n\n[" + kDispenserKey + "]\n\"Debug\"=hex:01\n");
    const ChildProcess::Result malformed = Run({"config", "import", file});
    EXPECT_EQ(malformed.status, 1);
    EXPECT_THAT(malformed.err, AllOf(HasSubstr(file), HasSubstr("line 4")));
    EXPECT_EQ(Run({"config", "import", folder_.File("missing.reg")}).status, 1);
}

TEST_F(DispenserCtlTest, RefusedAndFailedOperationsExitWithOne)
{
    Configure();
    ASSERT_EQ(Run({"config", "set", "Disabled=1"}).status, 0);
    const ChildProcess::Result disabled = Run({"status"});
    EXPECT_EQ(disabled.status, 1);
    EXPECT_THAT(disabled.err, HasSubstr("dispenserctl: Диспенсер не задействован"));

    ASSERT_EQ(Run({"config", "set", "Disabled=0", "Cassette\\2\\Flags=dword:00000002"}).status, 0);
    const ChildProcess::Result unusable = Run({"dispense", "1", "1"});
    EXPECT_EQ(unusable.status, 1);
    EXPECT_THAT(unusable.err, HasSubstr("Запрещено использование кассеты #2"));
    EXPECT_THAT(unusable.out, HasSubstr("Cassette #1: dispensed 0 of 1"));

    ASSERT_EQ(Run({"config", "set", "Port=" + folder_.File("no-such-tty")}).status, 0);
    const ChildProcess::Result noPort = Run({"version"});
    EXPECT_EQ(noPort.status, 1);
    EXPECT_THAT(noPort.err, HasSubstr("dispenserctl: "));
    EXPECT_THAT(noPort.out, Not(HasSubstr("Firmware version")));

    EXPECT_EQ(device_->Truth().commands, 0u);
    EXPECT_EQ(Count("Cassette\\1"), 200u);
}

// A payout stopped by Ctrl+C: the pass under way ends, its notes are counted, and the
// counters agree with what the device really paid out.
TEST_F(DispenserCtlTest, CtrlCCancelsAPayoutAndCountsWhatWasPaid)
{
    Configure();
    ASSERT_EQ(Run({"config", "set", "MaxDispense=5"}).status, 0);
    device_->Fault("note-ms:100");
    ChildProcess payout(Command({"dispense", "40"}));
    // Once the device has taken the first command, some notes are sure to move.
    ASSERT_TRUE(payout.WaitFor(OutputHas("положительное подтверждение получено"), kPatience)) << payout.Out();
    payout.Signal(SIGINT);
    const ChildProcess::Result result = payout.Finish(kPatience);
    EXPECT_EQ(result.status, 1) << result.out << result.err;
    EXPECT_THAT(result.err, AllOf(HasSubstr("Выполнение запроса неожиданно прервано"), HasSubstr("cancelling")));

    const SimulatorTruth truth = device_->Truth();
    EXPECT_GT(truth.exit1, 0u);
    EXPECT_LT(truth.exit1, 40u);
    EXPECT_THAT(result.out, HasSubstr(FormatText("Cassette #1: dispensed %u of 40", truth.exit1)));
    EXPECT_EQ(Count("Cassette\\1"), 200u - truth.taken1);
    EXPECT_THAT(Journal(), HasSubstr(FormatText("4\tDISPENSED\t%u\t", truth.exit1)));
}

TEST_F(DispenserCtlTest, SecondCtrlCQuitsAtOnce)
{
    Configure();
    device_->Fault("note-ms:200");
    ChildProcess payout(Command({"dispense", "30"}));
    ASSERT_TRUE(payout.WaitFor(OutputHas("положительное подтверждение получено"), kPatience)) << payout.Out();
    payout.Signal(SIGINT);
    ASSERT_TRUE(payout.WaitFor(ErrorsHave("cancelling"), kPatience)) << payout.Err();
    payout.Signal(SIGINT);
    const ChildProcess::Result result = payout.Finish(kPatience);
    EXPECT_EQ(result.status, 1);
    EXPECT_THAT(result.err, HasSubstr("interrupted again, quitting at once"));
    EXPECT_THAT(result.out, Not(HasSubstr("dispensed 30 of 30")));
}

TEST_F(DispenserCtlTest, DebugModeAsksOnTheTerminal)
{
    Configure();
    ASSERT_EQ(Run({"config", "set", "Debug=1"}).status, 0);
    {
        ChildProcess purge(Command({"purge"}), ChildProcess::Input::Terminal);
        ASSERT_TRUE(purge.WaitFor(ErrorsHave("[y/n]"), kPatience)) << purge.Err();
        EXPECT_THAT(purge.Err(), HasSubstr("Прогон механизма диспенсера считаем успешным?"));
        purge.Write("perhaps\ny\n");
        const ChildProcess::Result result = purge.Finish(kPatience);
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_THAT(result.err, HasSubstr("please answer [y/n]"));
        EXPECT_THAT(result.out, HasSubstr("Purge done."));
    }
    {
        // Yes, Cancel (the note goes to the reject bin), Yes: two paid, one rejected.
        ChildProcess payout(Command({"dispense", "2"}), ChildProcess::Input::Terminal);
        payout.Write("y\nc\nДа\n");
        const ChildProcess::Result result = payout.Finish(kPatience);
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_THAT(result.out, HasSubstr("Cassette #1: dispensed 2 of 2, rejected 1"));
        EXPECT_THAT(result.err, HasSubstr("[y/n/c]"));
    }
    EXPECT_EQ(Count("Cassette\\1"), 197u);
    EXPECT_EQ(Count("Reject"), 1u);
    EXPECT_EQ(device_->Truth().commands, 0u);

    // Without a terminal nobody is asked: the cautious answer, also with "y" piped in.
    const ChildProcess::Result piped = Run({"purge"}, "y\n");
    EXPECT_EQ(piped.status, 1);
    EXPECT_THAT(piped.err, AllOf(HasSubstr("nobody to answer on a terminal: No"),
                                 HasSubstr("Условная ошибка прогона механизма диспенсера")));
}

TEST_F(DispenserCtlTest, CtrlCAnswersAWaitingQuestionCautiously)
{
    Configure();
    ASSERT_EQ(Run({"config", "set", "Debug=1"}).status, 0);
    ChildProcess purge(Command({"purge"}), ChildProcess::Input::Terminal);
    ASSERT_TRUE(purge.WaitFor(ErrorsHave("[y/n]"), kPatience)) << purge.Err();
    purge.Signal(SIGINT);
    const ChildProcess::Result result = purge.Finish(kPatience);
    EXPECT_EQ(result.status, 1) << result.err;
    // The cancel and the "No" race: either the run is reported cut short or the run is failed.
    EXPECT_THAT(result.err, AllOf(HasSubstr("(no answer: No)"),
                                  AnyOf(HasSubstr("Выполнение запроса неожиданно прервано"),
                                        HasSubstr("Условная ошибка прогона механизма диспенсера"))));
    EXPECT_THAT(result.out, Not(HasSubstr("Purge done.")));
}

TEST_F(DispenserCtlTest, LogFollowShowsNewRecordsUntilCtrlC)
{
    Configure();
    const ChildProcess::Result empty = Run({"log"});
    EXPECT_EQ(empty.status, 0);
    EXPECT_THAT(empty.err, HasSubstr("nothing recorded there yet"));

    ChildProcess follow(Command({"log", "--follow"}));
    ASSERT_TRUE(follow.WaitFor(ErrorsHave("waiting for"), kPatience)) << follow.Err();
    ASSERT_EQ(Run({"dispense", "2"}).status, 0);
    EXPECT_TRUE(follow.WaitFor(OutputHas("\tDISPENSED\t2\t"), kPatience)) << follow.Out();
    ASSERT_EQ(Run({"counters", "set", "1", "150"}).status, 0);
    // Every record of both runs, the CLOSE written at their ends included.
    EXPECT_TRUE(
        follow.WaitFor([this](const std::string& out, const std::string&) { return out == Journal(); }, kPatience))
        << follow.Out();
    EXPECT_THAT(follow.Out(), HasSubstr("\tCOUNT\t150\t"));
    follow.Signal(SIGINT);
    const ChildProcess::Result followed = follow.Finish(kPatience);
    EXPECT_EQ(followed.status, 0) << followed.err;
    EXPECT_EQ(followed.out, Journal());

    const ChildProcess::Result trace = Run({"log", "--trace", "--lines", "2"});
    ASSERT_EQ(trace.status, 0) << trace.err;
    EXPECT_EQ(std::count(trace.out.begin(), trace.out.end(), '\n'), 2);
    EXPECT_THAT(trace.out, HasSubstr("журнал закрыт"));
    const std::string traceFile = ReadFileBytes(folder_.File("trace(" + Today() + ").txt"));
    ASSERT_GT(traceFile.size(), trace.out.size());
    EXPECT_EQ(trace.out, traceFile.substr(traceFile.size() - trace.out.size()));
}

TEST_F(DispenserCtlTest, CountersSetReplacesACountAndRecordsIt)
{
    Configure();
    const ChildProcess::Result cassette = Run({"counters", "set", "2", "400"});
    ASSERT_EQ(cassette.status, 0) << cassette.err;
    EXPECT_EQ(cassette.out, "Cassette 2: count 150 -> 400\n");
    EXPECT_EQ(Count("Cassette\\2"), 400u);
    ASSERT_EQ(Run({"counters", "set", "reject", "12"}).status, 0);
    EXPECT_EQ(Count("Reject"), 12u);
    EXPECT_THAT(Journal(), AllOf(HasSubstr("10\tCOUNT\t400\t;количество купюр в кассете #2 установлено вручную"),
                                 HasSubstr("10\tCOUNT\t12\t;количество купюр в контейнере \"Reject\"")));
}

} // namespace
