#include "tools/dispenserctl/device_commands.h"

#include "Plugin/Dispenser/pending_pass.h"
#include "Plugin/Dispenser/scenario.h"
#include "framework/text_format.h"
#include "tools/dispenserctl/console.h"
#include "tools/dispenserctl/operation_run.h"

namespace {

std::string HexByte(unsigned value)
{
    return FormatText("%02Xh", value);
}

std::string Notes(unsigned count)
{
    return FormatText("%u note%s", count, count == 1 ? "" : "s");
}

} // namespace

int RunVersion(CommandContext& context, ArgumentReader& arguments)
{
    arguments.Positionals(0, 0);
    std::string version;
    const bool ok = RunOperation(context, [&](std::vector<std::string>* errors) {
        return DispenserScenario::QueryVersion(nullptr, errors, &version);
    });
    if (!ok)
        return ExitFailure;
    context.console.Print("Firmware version: " + version, Tone::Strong);
    return ExitSuccess;
}

// A device that answers but reports a fault fails the command too: the technician's
// "status && ..." must not go on with a faulty device.
int RunStatus(CommandContext& context, ArgumentReader& arguments)
{
    arguments.Positionals(0, 0);
    DispenserStatusInfo status;
    const bool ok = RunOperation(context, [&](std::vector<std::string>* errors) {
        return DispenserScenario::QueryStatus(nullptr, errors, &status);
    });
    Console& console = context.console;
    if (const std::optional<DispenserControl::PendingPass> pass =
            DispenserControl::ReadPendingPass(DispenserControl::Settings(false)))
        console.Print(FormatText("PASS IN DOUBT: %u + %u notes may have left uncounted; payouts are refused until "
                                 "'dispenserctl reconcile'",
                                 pass->asked[0], pass->asked[1]),
                      Tone::Bad);
    if (!ok)
        return ExitFailure;
    const bool deviceFault = (status.flags & DispenserStatusInfo::kDeviceFault) != 0;
    const bool sensorFault = (status.flags & DispenserStatusInfo::kSensorFault) != 0;
    console.Print("Error code:  " + HexByte(status.error) + "  " + status.errorText,
                  deviceFault ? Tone::Bad : Tone::Good);
    console.Print("Sensors 0:   " + HexByte(status.sensor0) + "  " + status.sensor0Text,
                  sensorFault ? Tone::Warning : Tone::Plain);
    console.Print("Sensors 1:   " + HexByte(status.sensor1) + "  " + status.sensor1Text,
                  sensorFault ? Tone::Warning : Tone::Plain);
    std::string faults;
    if (deviceFault)
        faults = "device fault";
    if (sensorFault)
        faults += std::string(faults.empty() ? "" : ", ") + "sensor fault";
    console.Print("Faults:      " + (faults.empty() ? std::string("none") : faults),
                  faults.empty() ? Tone::Good : Tone::Bad);
    return status.flags == 0 ? ExitSuccess : ExitFailure;
}

int RunPurge(CommandContext& context, ArgumentReader& arguments)
{
    arguments.Positionals(0, 0);
    const bool ok = RunOperation(
        context, [](std::vector<std::string>* errors) { return DispenserScenario::Purge(nullptr, errors); });
    if (!ok)
        return ExitFailure;
    context.console.Print("Purge done.", Tone::Good);
    return ExitSuccess;
}

int RunTestReject(CommandContext& context, ArgumentReader& arguments)
{
    const std::string which = arguments.Positionals(1, 1)[0];
    if (which != "1" && which != "2")
        arguments.Fail("the cassette is 1 (upper) or 2 (lower), not '" + which + "'");
    const int cassette = which == "1" ? 1 : 2;
    unsigned rejected = 0;
    const bool ok = RunOperation(context, [&](std::vector<std::string>* errors) {
        return DispenserScenario::TestReject(nullptr, errors, cassette, &rejected);
    });
    if (!ok)
        return ExitFailure;
    context.console.Print(FormatText("Cassette #%d: ", cassette) + Notes(rejected) + " moved into the reject bin.",
                          Tone::Good);
    return ExitSuccess;
}

// Succeeds only when every note asked for was paid out: a payout that stopped early
// (a cassette ran out) is a failure for the technician even where the operation
// itself reports success.
int RunDispense(CommandContext& context, ArgumentReader& arguments)
{
    const std::vector<std::string> counts = arguments.Positionals(1, 2);
    const unsigned requested1 = ParseCount(counts[0], "N1", "dispense");
    const unsigned requested2 = counts.size() > 1 ? ParseCount(counts[1], "N2", "dispense") : 0;
    if (requested1 == 0 && requested2 == 0)
        arguments.Fail("nothing to pay out: both counts are 0");
    DispenserScenario::PayoutResult paid;
    const bool ok = RunOperation(context, [&](std::vector<std::string>* errors) {
        return DispenserScenario::Dispense(nullptr, errors, requested1, requested2, paid);
    });
    const unsigned requested[2] = {requested1, requested2};
    bool complete = ok;
    for (int c = 0; c < 2; ++c) {
        const unsigned dispensed = paid.dispensed[c];
        if (c == 1 && counts.size() < 2 && dispensed == 0 && paid.rejected[1] == 0 && paid.unknown[1] == 0)
            continue;
        complete = complete && dispensed == requested[c];
        std::string line =
            FormatText("Cassette #%d: dispensed %u of %u, rejected %u", c + 1, dispensed, requested[c], paid.rejected[c]);
        if (paid.unknown[c] != 0)
            line += FormatText(", IN DOUBT %u (count the cassette, then run 'dispenserctl reconcile')", paid.unknown[c]);
        context.console.Print(line, dispensed == requested[c] ? Tone::Good : Tone::Warning);
    }
    return complete ? ExitSuccess : ExitFailure;
}
