#include "tools/dispenserctl/counters_command.h"

#include "Plugin/Dispenser/counter_records.h"
#include "Plugin/Dispenser/dispenser_log.h"
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
