#include "tools/dispenserctl/command_line.h"

#include <algorithm>
#include <charconv>

namespace {

bool StartsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

} // namespace

UsageError::UsageError(std::string reason, std::string topic)
    : InvalidValue(std::move(reason)), topic_(std::move(topic))
{
}

CommandLine ParseCommandLine(const std::vector<std::string>& arguments)
{
    CommandLine line;
    bool literal = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        if (literal) {
            line.words.push_back(word);
            continue;
        }
        if (word == "--") {
            // Kept for the command's reader, which stops reading options there too.
            literal = true;
            line.words.push_back(word);
        } else if (word == "--registry") {
            if (i + 1 == arguments.size())
                throw UsageError("--registry needs a file name");
            line.global.registry = arguments[++i];
        } else if (StartsWith(word, "--registry=")) {
            line.global.registry = word.substr(11);
        } else if (word == "-q" || word == "--quiet") {
            line.global.quiet = true;
        } else if (word == "--no-colour" || word == "--no-color") {
            line.global.noColour = true;
        } else if (word == "-h" || word == "--help") {
            line.global.help = true;
        } else if (word == "--version") {
            line.global.version = true;
        } else if (line.command.empty() && !StartsWith(word, "-")) {
            line.command = word;
        } else if (line.command.empty()) {
            throw UsageError("unknown option '" + word + "'");
        } else {
            line.words.push_back(word);
        }
    }
    if (line.global.registry && line.global.registry->empty())
        throw UsageError("--registry needs a file name");
    return line;
}

ArgumentReader::ArgumentReader(std::vector<std::string> words, std::string topic)
    : words_(std::move(words)), topic_(std::move(topic))
{
}

bool ArgumentReader::Flag(std::string_view name, std::string_view alias)
{
    const auto end = std::find(words_.begin(), words_.end(), "--");
    const auto found = std::find_if(words_.begin(), end, [&](const std::string& word) {
        return word == name || (!alias.empty() && word == alias);
    });
    if (found == end)
        return false;
    words_.erase(found);
    return true;
}

std::optional<std::string> ArgumentReader::Option(std::string_view name)
{
    const auto end = std::find(words_.begin(), words_.end(), "--");
    for (auto at = words_.begin(); at != end; ++at) {
        if (*at == name) {
            if (at + 1 == end)
                Fail(std::string(name) + " needs a value");
            std::string value = *(at + 1);
            words_.erase(at, at + 2);
            return value;
        }
        if (StartsWith(*at, std::string(name) + "=")) {
            std::string value = at->substr(name.size() + 1);
            words_.erase(at);
            return value;
        }
    }
    return std::nullopt;
}

std::vector<std::string> ArgumentReader::Positionals()
{
    std::vector<std::string> positionals;
    bool literal = false;
    for (const std::string& word : words_) {
        if (!literal && word == "--") {
            literal = true;
            continue;
        }
        // A lone "-" and negative-looking numbers are words, not options.
        if (!literal && word.size() > 1 && word[0] == '-' && !(word[1] >= '0' && word[1] <= '9'))
            Fail("unknown option '" + word + "'");
        positionals.push_back(word);
    }
    return positionals;
}

std::vector<std::string> ArgumentReader::Positionals(std::size_t least, std::size_t most)
{
    std::vector<std::string> positionals = Positionals();
    if (positionals.size() < least)
        Fail(least == 1 && most == 1 ? "an argument is missing" : "arguments are missing");
    if (positionals.size() > most)
        Fail("too many arguments (unexpected '" + positionals[most] + "')");
    return positionals;
}

void ArgumentReader::Fail(const std::string& reason) const
{
    throw UsageError(topic_ + ": " + reason, topic_);
}

std::uint32_t ParseCount(std::string_view text, const std::string& what, const std::string& topic)
{
    std::uint32_t value = 0;
    const bool digitsOnly =
        !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (!digitsOnly || error == std::errc::invalid_argument || end != text.data() + text.size())
        throw UsageError(topic + ": " + what + " must be a whole number of notes, not '" + std::string(text) + "'",
                         topic);
    if (error == std::errc::result_out_of_range)
        throw UsageError(topic + ": " + what + " is too large: " + std::string(text), topic);
    return value;
}
