// The tool's command line: the global options (taken anywhere before "--"), the
// command word with its own arguments, and the small readers the commands use for
// their options and numbers. Every mistake raises UsageError (exit status 2).
#pragma once

#include "framework/exceptions.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A command line the tool cannot take. `Topic()` is the command whose help the hint
// points at ("" for the tool's own help).
class UsageError : public InvalidValue {
public:
    UsageError(std::string reason, std::string topic = {});
    const std::string& Topic() const noexcept { return topic_; }

private:
    std::string topic_;
};

struct GlobalOptions {
    std::optional<std::string> registry; // --registry FILE
    bool quiet = false;                  // -q, --quiet: no live progress
    bool noColour = false;               // --no-colour, --no-color
    bool help = false;                   // -h, --help (also of a command)
    bool version = false;                // --version: the program's version, nothing else
};

struct CommandLine {
    GlobalOptions global;
    std::string command;            // empty when none was given
    std::vector<std::string> words; // what follows the command, global options taken out
};

// Splits the arguments after the program name.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// Reads one command's arguments: flags and positional words, in any order.
class ArgumentReader {
public:
    // `topic` names the command in error hints ("dispense", "config set").
    ArgumentReader(std::vector<std::string> words, std::string topic);

    // Takes the flag wherever it stands; true when it was there.
    bool Flag(std::string_view name, std::string_view alias = {});
    // Takes "--name VALUE" or "--name=VALUE"; nullopt when absent.
    std::optional<std::string> Option(std::string_view name);
    // The words left, after refusing any unknown option among them.
    std::vector<std::string> Positionals();
    // Positionals() with a check of their number.
    std::vector<std::string> Positionals(std::size_t least, std::size_t most);

    [[noreturn]] void Fail(const std::string& reason) const;

private:
    std::vector<std::string> words_;
    std::string topic_;
    bool literal_ = false; // "--" was seen: nothing after it is an option
};

// A count of notes: decimal digits only, 0 to 4294967295. `what` names it in the error.
std::uint32_t ParseCount(std::string_view text, const std::string& what, const std::string& topic);
