#include "tools/dispenserctl/command_table.h"

#include "Plugin/Dispenser/version.h"
#include "tools/dispenserctl/config_commands.h"
#include "tools/dispenserctl/counters_command.h"
#include "tools/dispenserctl/device_commands.h"
#include "tools/dispenserctl/log_command.h"
#include "tools/dispenserctl/registry_location.h"
#include "tools/dispenserctl/report_command.h"
#include "tools/dispenserctl/split_command.h"

#include <algorithm>
#include <string_view>

namespace {

constexpr const char* kOperationNotes =
    "While an operation runs, the lines of the dispenser's trace log are shown as they\n"
    "are written (-q hides them). Ctrl+C cancels it as the operator dialog's Cancel does;\n"
    "a command the device has already taken is finished and its notes are counted.\n"
    "In debug mode (\"Debug\"=1) the operation asks on the terminal instead of moving\n"
    "notes; without a terminal it takes the most cautious answer.\n";

const std::vector<CommandInfo> kCommands = {
    {"version", "version", "version", "the device's firmware version",
     "Asks the device for its firmware version and prints it.\n", RunVersion, CommandKind::Operation},
    {"status", "status", "status", "the device's error code, sensors and faults",
     "Asks the device for its status and prints the error code, both sensor bytes with\n"
     "their meaning, and the fault flags. Exits with 1 when the device reports a fault.\n",
     RunStatus, CommandKind::Operation},
    {"purge", "purge", "purge", "empty the transport into the reject bin",
     "Runs the note transport so that notes left in it go into the reject bin.\n", RunPurge, CommandKind::Operation},
    {"test-reject", "test-reject 1|2", "test-reject 1|2", "move one note from a cassette to the reject bin",
     "Picks one note from cassette 1 (upper) or 2 (lower) and moves it into the reject\n"
     "bin; the cassette's count goes down and the bin's count up.\n",
     RunTestReject, CommandKind::Operation},
    {"dispense", "dispense N1 [N2]", "dispense N1 [N2]", "pay out notes from cassettes 1 and 2",
     "Pays out N1 notes from cassette 1 and N2 (default 0) from cassette 2, with every\n"
     "configured limit checked, and prints per cassette the notes dispensed and rejected.\n"
     "The counters and the operations journal follow every pass. Exits with 1 unless\n"
     "every note asked for was paid out.\n",
     RunDispense, CommandKind::Operation},
    {"split", "split AMOUNT", "split AMOUNT", "how an amount would be divided between the cassettes",
     "Shows the notes per cassette that the kiosk's calculation would take for AMOUNT\n"
     "roubles (larger notes first, with the counts, the reserves, the per-cassette and\n"
     "payout limits and the reject bin's limit), and the part that cannot be paid.\n"
     "Nothing is paid out. The kiosk also refuses while it holds the device failed,\n"
     "which this tool cannot see. Exits with 1 when nothing at all can be paid.\n",
     RunSplit, CommandKind::Reader},
    {"counters", "counters", "counters", "the note counters of cassettes and reject bin",
     "Shows per cassette its denomination, count, whether it is tracked and in use, and\n"
     "its limits; for the reject bin its count and limit; and the payout limit.\n",
     RunCounters, CommandKind::Reader},
    {"counters set", "counters set 1|2|reject COUNT", "counters set 1|2|reject COUNT",
     "set a counter by hand (after a refill)",
     "Sets the count of cassette 1, cassette 2 or the reject bin, in one step no payout\n"
     "can come between, and records it in the operations journal.\n",
     RunCountersSet, CommandKind::Writer},
    {"reconcile", "reconcile [--cassette1 N] [--cassette2 N] [--reject N]",
     "reconcile [--cassette1 N] [--cassette2 N] [--reject N]", "settle a pass in doubt with a count of the notes",
     "Without counts, shows the pass in doubt (one whose notes may have left without\n"
     "being counted) and the range each cassette's count must lie in. With counts,\n"
     "writes each counted value, records it in the operations journal (RECONCILED)\n"
     "and settles the doubt, so that payouts may go on. A count outside the range is\n"
     "taken as it is; the journal says so.\n",
     RunReconcile, CommandKind::Writer},
    {"config show", "config show", "config show", "the dispenser's settings as a .reg file",
     "Prints the dispenser key and its subkeys (Cassette\\1, Cassette\\2, Reject, ...) in\n"
     "the layout of a .reg file; the output can be imported again.\n",
     RunConfigShow, CommandKind::Reader},
    {"config set", "config set NAME=VALUE...", "config set NAME=VALUE...", "change settings",
     "NAME is a path below the dispenser key whose last part is the value's name:\n"
     "  Device   Port   Cassette\\1\\Count   Log Window\\Show\n"
     "A \"/\" separates as well as \"\\\", which a shell wants quoted.\n"
     "VALUE:\n"
     "  250             decimal digits: a DWORD\n"
     "  dword:000000fa  a DWORD in hexadecimal, as .reg files write it\n"
     "  \"007\"           a string in double quotes, even of digits (\\\" and \\\\ inside);\n"
     "                  the shell takes quotes away unless quoted itself: 'Code=\"007\"'\n"
     "  LCDM-2000       anything else: a string as typed (also nothing: \"\")\n"
     "Several assignments may follow each other; none is written when one is wrong.\n"
     "Examples:\n"
     "  dispenserctl config set Device=LCDM-2000 Port=/dev/ttyS0 Off=0\n"
     "  dispenserctl config set Cassette/1/Denomination=1000 Cassette/1/Flags=dword:00000003\n",
     RunConfigSet, CommandKind::Writer},
    {"config import", "config import FILE.reg", "config import FILE.reg [--any-key]",
     "apply the changes of a .reg file",
     "Applies every change of a .reg file (keys, values, [-KEY] and \"Name\"=- deletions)\n"
     "in its order. Keys outside HKEY_LOCAL_MACHINE\\Software\\Orvane\\Tallivox are\n"
     "refused, and then nothing is imported, unless --any-key is given.\n",
     RunConfigImport, CommandKind::Writer},
    {"log", "log [--trace] [--follow]", "log [--trace] [--follow] [--lines N] [--date YYYY-MM-DD]",
     "today's operations journal, or the trace log",
     "Prints today's operations journal (LogDir\\YYYY-MM-DD.txt), or with --trace the\n"
     "trace log (\"DebugLog\", a \"*\" in it standing for \"(YYYY-MM-DD)\").\n"
     "  -f, --follow     keep printing new lines until Ctrl+C (the journal moves on to\n"
     "                   the next day's file at midnight)\n"
     "  -n, --lines N    only the last N lines (before following)\n"
     "  --date DAY       the file of another day, YYYY-MM-DD\n",
     RunLog, CommandKind::Reader},
    {"report", "report [--from DAY] [--to DAY] [--format text|csv|html]",
     "report [--from DAY] [--to DAY] [--format text|csv|html] [--output FILE] [--log-dir DIR]\n"
     "       [--denomination1 N] [--denomination2 N]",
     "the cash report: what the journal says, per day, with a forecast",
     "Reads the operations journal (the day files of LogDir) and reports per day and for the\n"
     "period: notes paid per cassette and their amount, notes rejected, payouts stopped\n"
     "early or failed, device errors, passes in doubt and reconciliations, the expected\n"
     "content of each cassette and of the reject bin at the end of each day, how long the\n"
     "kiosk ran, and when each cassette reaches its reserve (\"Min Amount\") or empties at\n"
     "the average rate of the last 14 days.\n"
     "  --from DAY, --to DAY  the period, YYYY-MM-DD (default: the 7 days up to today)\n"
     "  --format F            text (default), csv (one row a day) or html (one file with\n"
     "                        the tables and two charts)\n"
     "  --output FILE         write the report there instead of to standard output\n"
     "  --log-dir DIR         the journal's folder instead of LogDir\n"
     "  --denomination1 N, --denomination2 N\n"
     "                        the cassettes' denominations for the amounts, instead of\n"
     "                        the settings' (the report says which it used)\n",
     RunReport, CommandKind::Reader},
};

std::size_t EditDistance(std::string_view a, std::string_view b)
{
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

std::string_view FirstWord(std::string_view name)
{
    return name.substr(0, name.find(' '));
}

} // namespace

const std::vector<CommandInfo>& Commands()
{
    return kCommands;
}

const CommandInfo* FindCommand(const std::string& word, std::vector<std::string>& words)
{
    if (!words.empty()) {
        const std::string twoWords = word + " " + words.front();
        for (const CommandInfo& command : kCommands) {
            if (command.name == twoWords) {
                words.erase(words.begin());
                return &command;
            }
        }
    }
    for (const CommandInfo& command : kCommands) {
        if (command.name == word)
            return &command;
    }
    return nullptr;
}

std::vector<std::string> SimilarCommands(const std::string& word)
{
    std::vector<std::string> similar;
    for (const CommandInfo& command : kCommands) {
        const std::string first(FirstWord(command.name));
        if (EditDistance(word, first) <= 2 && std::find(similar.begin(), similar.end(), first) == similar.end())
            similar.push_back(first);
    }
    return similar;
}

std::vector<const CommandInfo*> GroupMembers(const std::string& word)
{
    std::vector<const CommandInfo*> members;
    for (const CommandInfo& command : kCommands) {
        if (std::string_view(command.name).find(' ') != std::string_view::npos && FirstWord(command.name) == word)
            members.push_back(&command);
    }
    return members;
}

std::string OverviewHelp()
{
    std::string text =
        "dispenserctl " DISPENSER_VERSION_TEXT ": the service tool of the LCDM-1000/LCDM-2000 banknote dispenser\n\n"
        "Usage: dispenserctl [OPTIONS] COMMAND [ARGUMENTS]\n\nCommands:\n";
    std::size_t width = 0;
    for (const CommandInfo& command : kCommands)
        width = std::max(width, std::string_view(command.synopsis).size());
    const auto line = [&](std::string_view synopsis, std::string_view summary) {
        text +=
            "  " + std::string(synopsis) + std::string(width - synopsis.size() + 2, ' ') + std::string(summary) + "\n";
    };
    for (const CommandInfo& command : kCommands)
        line(command.synopsis, command.summary);
    line("help [COMMAND]", "this overview, or the help of a command");
    text += "\nOptions (before or after the command):\n";
    text += RegistryOptionHelp() + "\n";
    text += "  -q, --quiet      no live progress while an operation runs\n"
            "  --no-colour      no colours, also on a terminal (so does NO_COLOR)\n"
            "  -h, --help       help; after a command, that command's help\n"
            "  --version        the program's version (the plug-in's), and nothing else\n\n";
    text += kOperationNotes;
    text += "\nExit status: 0 done, 1 the operation failed (its reasons on standard error),\n"
            "2 the command line was wrong (nothing was done).\n";
    return text;
}

std::string CommandHelp(const CommandInfo& command, bool related)
{
    std::string text = std::string("Usage: dispenserctl ") + command.usage + "\n\n" + command.details;
    if (command.kind == CommandKind::Operation)
        text += std::string("\n") + kOperationNotes;
    std::string others;
    for (const CommandInfo& other : kCommands) {
        if (related && &other != &command && FirstWord(other.name) == FirstWord(command.name))
            others += std::string("  dispenserctl ") + other.usage + "\n";
    }
    if (!others.empty())
        text += "\nSee also:\n" + others;
    return text;
}
