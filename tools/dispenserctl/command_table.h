// The commands of the tool: names, one-line summaries, help texts and handlers.
// A command of two words ("config set") is found from its first word and the word
// after it; "counters" alone is a command of its own as well as "counters set".
#pragma once

#include "tools/dispenserctl/command_context.h"

#include <string>
#include <vector>

enum class CommandKind {
    Operation, // talks to the device through one of the dispenser's operations
    Reader,    // reads the settings, the counters or the logs
    Writer,    // changes the registry: a hive file that does not exist yet is no surprise
};

struct CommandInfo {
    const char* name;     // "config set"
    const char* synopsis; // the overview's short form: "log [--trace] [--follow]"
    const char* usage;    // the full form of the command's help
    const char* summary;  // one line of the overview
    const char* details;  // the rest of `dispenserctl NAME --help`
    int (*run)(CommandContext& context, ArgumentReader& arguments);
    CommandKind kind;
};

const std::vector<CommandInfo>& Commands();

// The command that `word` names, taking its second word from the front of `words`
// when it has one; null when there is none.
const CommandInfo* FindCommand(const std::string& word, std::vector<std::string>& words);
// The first words of commands whose names are close to `word` (typing slips).
std::vector<std::string> SimilarCommands(const std::string& word);
// The commands of two words that begin with `word` ("config": show, set, import).
std::vector<const CommandInfo*> GroupMembers(const std::string& word);

// `dispenserctl --help`: every command with one line each, the global options.
std::string OverviewHelp();
// `dispenserctl COMMAND --help`; with `related`, the other commands of its group too.
std::string CommandHelp(const CommandInfo& command, bool related = true);
