#include "tools/dispenserctl/report_command.h"

#include "Plugin/Dispenser/settings.h"
#include "framework/paths.h"
#include "framework/real_time.h"
#include "tools/dispenserctl/cash_report.h"
#include "tools/dispenserctl/console.h"
#include "tools/dispenserctl/file_text.h"
#include "tools/dispenserctl/report_formats.h"

#include <filesystem>
#include <fstream>

namespace {

constexpr int kDefaultDays = 7;
constexpr long long kMaxDays = 3660; // ten years: a typing slip, not a report

Journal::Day ParseDayOption(ArgumentReader& arguments, const std::string& option, const std::string& text)
{
    const std::optional<Journal::Day> day = Journal::Day::Parse(text);
    if (!day)
        arguments.Fail(option + " takes a day as YYYY-MM-DD, not '" + text + "'");
    return *day;
}

Journal::Day Today()
{
    const CalendarTime now = Now().Calendar();
    return Journal::Day{now.year, now.month, now.day};
}

} // namespace

int RunReport(CommandContext& context, ArgumentReader& arguments)
{
    const std::optional<std::string> fromText = arguments.Option("--from");
    const std::optional<std::string> toText = arguments.Option("--to");
    const std::string format = arguments.Option("--format").value_or("text");
    const std::optional<std::string> output = arguments.Option("--output");
    const std::optional<std::string> logDir = arguments.Option("--log-dir");
    const std::optional<std::string> denomination1 = arguments.Option("--denomination1");
    const std::optional<std::string> denomination2 = arguments.Option("--denomination2");
    arguments.Positionals(0, 0);
    if (format != "text" && format != "csv" && format != "html")
        arguments.Fail("--format is text, csv or html, not '" + format + "'");

    CashReport::Options options;
    options.to = toText ? ParseDayOption(arguments, "--to", *toText) : Today();
    options.from = fromText ? ParseDayOption(arguments, "--from", *fromText)
                            : Journal::Day::FromSerial(options.to.Serial() - (kDefaultDays - 1));
    if (options.from > options.to)
        arguments.Fail("--from " + options.from.Text() + " comes after --to " + options.to.Text());
    if (options.to.Serial() - options.from.Serial() >= kMaxDays)
        arguments.Fail("a report covers at most ten years");

    // The settings give the folder, the denominations, the reserves and the model.
    DispenserControl::Settings settings(false);
    const std::string folder = logDir ? *logDir : RegKey(RegistryRoot::LocalMachine, DispenserControl::kSettingsKey,
                                                        false, RegAccessRead)
                                                      .ReadString("LogDir");
    Console& console = context.console;
    if (folder.empty()) {
        console.Error("dispenserctl: \"LogDir\" is not set in the dispenser settings; give the journal's folder with "
                      "--log-dir",
                      Tone::Bad);
        return ExitFailure;
    }
    options.cassettes = settings.GetModel() == 1 ? 1 : 2;
    for (int c = 0; c < 2; ++c) {
        DispenserControl::Cassette cassette(settings, c + 1);
        options.denomination[c] = cassette.GetDenomination();
        DispenserControl::CassetteLimit reserve(cassette, DispenserControl::kMinAmountLimit);
        options.reserve[c] = reserve.IsEnabled() ? reserve.GetValue() : 0;
    }
    if (denomination1) {
        options.denomination[0] = ParseCount(*denomination1, "--denomination1", "report");
        options.denominationOverridden[0] = true;
    }
    if (denomination2) {
        options.denomination[1] = ParseCount(*denomination2, "--denomination2", "report");
        options.denominationOverridden[1] = true;
    }

    // A folder that is not there is a wrong setting or a typing slip, not a quiet period.
    std::error_code error;
    if (folder.find('*') == std::string::npos && !std::filesystem::is_directory(PathOf(folder), error)) {
        console.Error("dispenserctl: the journal's folder " + folder + " does not exist", Tone::Bad);
        return ExitFailure;
    }
    const CashReport::Report report = CashReport::Build(MakePathSpec(folder), options);
    const std::string text = format == "csv"    ? CashReport::RenderCsv(report)
                             : format == "html" ? CashReport::RenderHtml(report)
                                                : CashReport::RenderText(report);
    if (!output) {
        console.Write(ConsoleStream::Output, text);
        return ExitSuccess;
    }
    std::ofstream file(PathOf(*output), std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    if (!file) {
        console.Error("dispenserctl: cannot write the report to " + *output, Tone::Bad);
        return ExitFailure;
    }
    console.Error("dispenserctl: report of " + options.from.Text() + " .. " + options.to.Text() + " written to " +
                      *output,
                  Tone::Dim);
    return ExitSuccess;
}
