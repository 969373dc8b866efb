#include "tools/dispenserctl/config_commands.h"

#include "Plugin/Dispenser/settings.h"
#include "framework/registry_hive.h"
#include "framework/text_format.h"
#include "framework/text_utils.h"
#include "tools/dispenserctl/console.h"
#include "tools/dispenserctl/file_text.h"
#include "tools/dispenserctl/log_follow.h"
#include "tools/dispenserctl/registry_import.h"
#include "tools/dispenserctl/registry_text.h"

#include <algorithm>

namespace {

RegKey MainKey(bool writable)
{
    return RegKey(RegistryRoot::LocalMachine, DispenserControl::kSettingsKey, writable,
                  writable ? RegAccessAll : RegAccessRead);
}

std::string DisplayName(const ValueAssignment& assignment)
{
    return assignment.subkey.empty() ? assignment.name : assignment.subkey + "\\" + assignment.name;
}

// Hints for values the dispenser would not work with; the value is written anyway.
void WarnAbout(Console& console, const ValueAssignment& assignment, const std::optional<RegData>& before)
{
    const std::string name = DisplayName(assignment);
    if (before && before->type != assignment.data.type)
        console.Error("dispenserctl: note: " + name + " was " +
                          (before->type == RegValueType::Dword ? "a DWORD" : "a string") + " and is now " +
                          (assignment.data.type == RegValueType::Dword ? "a DWORD" : "a string"),
                      Tone::Warning);
    if (assignment.subkey.empty() && EqualsNoCase(assignment.name, "Device")) {
        const std::vector<std::string> models = DispenserControl::Settings::SupportedDevices();
        const bool known = assignment.data.type == RegValueType::String &&
                           std::any_of(models.begin(), models.end(), [&](const std::string& model) {
                               return EqualsNoCase(model, assignment.data.text);
                           });
        if (!known)
            console.Error("dispenserctl: note: the dispenser knows only LCDM-1000 and LCDM-2000", Tone::Warning);
    }
}

} // namespace

int RunConfigShow(CommandContext& context, ArgumentReader& arguments)
{
    arguments.Positionals(0, 0);
    const RegKey key = MainKey(false);
    if (!key.IsOpen()) {
        context.console.Error(std::string("dispenserctl: the dispenser key HKEY_LOCAL_MACHINE\\") +
                                  DispenserControl::kSettingsKey + " does not exist yet (config import creates it)",
                              Tone::Warning);
        return ExitFailure;
    }
    const std::string exported = ExportTree(key);
    for (std::string_view line : SplitLines(exported))
        context.console.Print(line);
    return ExitSuccess;
}

// Every assignment is read before the first is written: one bad one changes nothing.
int RunConfigSet(CommandContext& context, ArgumentReader& arguments)
{
    const std::vector<std::string> words = arguments.Positionals(1, static_cast<std::size_t>(-1));
    std::vector<ValueAssignment> assignments;
    for (const std::string& word : words)
        assignments.push_back(ParseAssignment(word));

    RegKey dispenser = MainKey(true);
    for (const ValueAssignment& assignment : assignments) {
        RegKey key =
            assignment.subkey.empty() ? MainKey(true) : RegKey(dispenser, assignment.subkey, true, RegAccessAll);
        const std::optional<RegData> before = key.Read(assignment.name);
        key.Write(assignment.name, assignment.data);
        WarnAbout(context.console, assignment, before);
        context.console.Print(DisplayName(assignment) + " = " + DescribeData(assignment.data), Tone::Good);
    }
    return ExitSuccess;
}

int RunConfigImport(CommandContext& context, ArgumentReader& arguments)
{
    const bool anyKey = arguments.Flag("--any-key");
    const std::string file = arguments.Positionals(1, 1)[0];
    Console& console = context.console;
    const std::optional<std::string> text = ReadFileFrom(file);
    if (!text) {
        console.Error("dispenserctl: cannot read " + file, Tone::Bad);
        return ExitFailure;
    }
    const std::vector<HiveChange> changes = Hive::ParseChanges(*text, file);
    if (!anyKey) {
        const std::vector<std::string> outside = KeysOutside(changes, kProductTree);
        if (!outside.empty()) {
            console.Error("dispenserctl: " + file + " changes keys outside " + kProductTree + ":", Tone::Bad);
            for (const std::string& key : outside)
                console.Error("  " + key);
            console.Error("nothing was imported; --any-key imports such a file as it is");
            return ExitFailure;
        }
    }
    const ImportSummary summary = ApplyChanges(changes);
    console.Print(
        FormatText("Imported %s: %u key(s), %u value(s) set", file.c_str(), summary.keysCreated, summary.valuesSet) +
            (summary.keysDeleted + summary.valuesDeleted > 0
                 ? FormatText(", %u key(s) and %u value(s) deleted", summary.keysDeleted, summary.valuesDeleted)
                 : std::string()),
        Tone::Good);
    return ExitSuccess;
}
