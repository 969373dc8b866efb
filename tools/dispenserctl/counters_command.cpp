#include "tools/dispenserctl/counters_command.h"

#include "Plugin/Dispenser/counter_records.h"
#include "Plugin/Dispenser/dispenser_log.h"
#include "Plugin/Dispenser/pending_pass.h"
#include "Plugin/Dispenser/settings.h"
#include "framework/text_format.h"
#include "tools/dispenserctl/console.h"
#include "tools/dispenserctl/text_table.h"

namespace {

using namespace DispenserControl;

std::string YesNo(bool value)
{
    return value ? "yes" : "no";
}

std::string CassetteLimits(Cassette& cassette)
{
    std::string limits;
    const CassetteLimit maxDispense(cassette, kMaxDispenseLimit);
    const CassetteLimit minAmount(cassette, kMinAmountLimit);
    if (maxDispense.IsEnabled())
        limits = FormatText("max %u per payout", static_cast<unsigned>(maxDispense.GetValue()));
    if (minAmount.IsEnabled())
        limits += FormatText("%sreserve %u", limits.empty() ? "" : ", ", static_cast<unsigned>(minAmount.GetValue()));
    return limits.empty() ? "none" : limits;
}

std::string DeviceLine(const Settings& settings)
{
    const SerialPortSettings port = settings.GetPortSettings();
    std::string device = settings.GetDevice();
    std::string line = "Device " + (device.empty() ? std::string("(not set)") : device);
    line += port.port.empty() ? ", no port set" : " on " + port.port;
    if (!port.inUse)
        line += " (port switched off)";
    line += settings.IsEnabled() ? ", enabled" : ", DISABLED";
    if (settings.IsDebug())
        line += ", debug mode";
    return line;
}

} // namespace

int RunCounters(CommandContext& context, ArgumentReader& arguments)
{
    arguments.Positionals(0, 0);
    Settings settings(false);
    Console& console = context.console;
    console.Print(DeviceLine(settings));
    console.Print("");

    TextTable table;
    table.Add({"Unit", "Denomination", "Count", "Tracked", "In use", "Limits"});
    const int cassettes = settings.GetModel() == 1 ? 1 : 2;
    for (int number = 1; number <= cassettes; ++number) {
        Cassette cassette(settings, number);
        const std::uint32_t denomination = cassette.GetDenomination();
        table.Add({FormatText("Cassette %d", number),
                   denomination == 0 ? std::string("not set") : FormatText("%u", static_cast<unsigned>(denomination)),
                   FormatText("%u", static_cast<unsigned>(cassette.GetCount())), YesNo(cassette.IsCounted()),
                   YesNo(cassette.IsEnabled()), CassetteLimits(cassette)});
    }
    Reject reject(settings);
    const RejectLimit rejectLimit(settings, reject);
    table.Add({"Reject bin", "-", FormatText("%u", static_cast<unsigned>(reject.GetCount())), YesNo(reject.IsCounted()),
               "-",
               rejectLimit.IsEnabled() ? FormatText("max %u", static_cast<unsigned>(rejectLimit.GetValue()))
                                       : std::string("none")});
    bool heading = true;
    for (const std::string& line : table.Lines()) {
        console.Print(line, heading ? Tone::Strong : Tone::Plain);
        heading = false;
    }

    const AmountLimit amountLimit(settings);
    console.Print("");
    console.Print(amountLimit.IsEnabled()
                      ? FormatText("Payout limit: %u per operation", static_cast<unsigned>(amountLimit.GetValue()))
                      : std::string("Payout limit: none"));
    return ExitSuccess;
}

// Goes through the store's one read-modify-write, and leaves a COUNT record in the
// journal as the payouts do, so the journal explains every change of a count.
int RunCountersSet(CommandContext& context, ArgumentReader& arguments)
{
    const std::vector<std::string> words = arguments.Positionals(2, 2);
    const std::string& unit = words[0];
    if (unit != "1" && unit != "2" && unit != "reject")
        arguments.Fail("the unit is 1, 2 or reject, not '" + unit + "'");
    const std::uint32_t count = ParseCount(words[1], "COUNT", "counters set");

    Settings settings(true);
    DispenserLogHandler& logs = *DispenserLogHandler::Instance();
    std::uint32_t previous = 0;
    std::string what;
    if (unit == "reject") {
        previous = SetRejectCount(settings, count, logs);
        what = "Reject bin";
    } else {
        const int number = unit == "1" ? 1 : 2;
        previous = SetCassetteCount(settings, number, count, logs);
        what = FormatText("Cassette %d", number);
    }
    context.console.Print(
        FormatText("%s: count %u -> %u", what.c_str(), static_cast<unsigned>(previous), static_cast<unsigned>(count)),
        Tone::Good);
    return ExitSuccess;
}

int RunReconcile(CommandContext& context, ArgumentReader& arguments)
{
    const std::optional<std::string> texts[3] = {arguments.Option("--cassette1"), arguments.Option("--cassette2"),
                                                 arguments.Option("--reject")};
    arguments.Positionals(0, 0);
    Console& console = context.console;
    const bool counting = texts[0] || texts[1] || texts[2];
    Settings settings(counting);
    const std::optional<PendingPass> pass = ReadPendingPass(settings);
    if (!counting) {
        if (!pass) {
            console.Print("No pass in doubt: the counters hold every note.", Tone::Good);
            return ExitSuccess;
        }
        console.Print(FormatText("Pass in doubt: %s at %s, asked %u from cassette 1 and %u from cassette 2.",
                                 pass->operation.c_str(), pass->time.c_str(), pass->asked[0], pass->asked[1]),
                      Tone::Warning);
        for (int number = 1; number <= 2; ++number) {
            if (pass->asked[number - 1] == 0)
                continue;
            const CountRange range = ExpectedCassetteRange(settings, number);
            console.Print(FormatText("Cassette %d: count the notes; expected between %u and %u.", number, range.low,
                                     range.high));
        }
        const CountRange bin = ExpectedRejectRange(settings);
        console.Print(FormatText("Reject bin: expected between %u and %u.", bin.low, bin.high));
        console.Print("Then: dispenserctl reconcile --cassette1 N [--cassette2 N] [--reject N]");
        return ExitSuccess;
    }
    DispenserLogHandler& logs = *DispenserLogHandler::Instance();
    for (int unit = 0; unit < 3; ++unit) {
        if (!texts[unit])
            continue;
        const std::string name = unit == 2 ? "--reject" : FormatText("--cassette%d", unit + 1);
        const std::uint32_t counted = ParseCount(*texts[unit], name, "reconcile");
        const Reconciliation result =
            unit == 2 ? ReconcileReject(settings, counted, logs) : ReconcileCassette(settings, unit + 1, counted, logs);
        console.Print(FormatText("%s: count %u -> %u (expected %u..%u)%s",
                                 unit == 2 ? "Reject bin" : FormatText("Cassette %d", unit + 1).c_str(),
                                 result.previous, counted, result.expected.low, result.expected.high,
                                 result.inRange ? "" : ", OUTSIDE the expected range: the count was taken"),
                      result.inRange ? Tone::Good : Tone::Warning);
    }
    const std::optional<PendingPass> left = ReadPendingPass(settings);
    if (left)
        console.Print(FormatText("Still in doubt: cassette 1 %u, cassette 2 %u notes.", left->asked[0], left->asked[1]),
                      Tone::Warning);
    else
        console.Print("No pass in doubt is left: payouts may go on.", Tone::Good);
    return ExitSuccess;
}
