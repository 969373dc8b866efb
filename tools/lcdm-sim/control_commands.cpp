#include "control_commands.h"

#include "faults.h"

#include <charconv>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace lcdm {

namespace {

std::vector<std::string> Words(const std::string& line)
{
    std::istringstream stream(line);
    std::vector<std::string> words;
    for (std::string word; stream >> word;)
        words.push_back(word);
    return words;
}

int ParseCount(const std::string& text, const std::string& key)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < 0)
        throw std::invalid_argument("bad value for " + key + ": '" + text + "'");
    return value;
}

} // namespace

void ApplyResetArgument(const std::string& argument, DeviceConfig& config)
{
    const std::size_t equals = argument.find('=');
    if (equals == std::string::npos)
        throw std::invalid_argument("reset takes KEY=VALUE, got '" + argument + "'");
    const std::string key = argument.substr(0, equals);
    const std::string value = argument.substr(equals + 1);
    if (key == "model")
        config.model = ParseModel(value);
    else if (key == "cassette1")
        config.cassette1 = ParseCount(value, key);
    else if (key == "cassette2")
        config.cassette2 = ParseCount(value, key);
    else if (key == "near-end")
        config.nearEnd = ParseCount(value, key);
    else
        throw std::invalid_argument("unknown reset key '" + key + "' (model, cassette1, cassette2, near-end)");
}

std::string ExecuteControlLine(const std::string& line, SharedDevice& device, const DeviceConfig& defaults)
{
    try {
        const std::vector<std::string> words = Words(line);
        if (words.empty())
            return "ERROR empty command";
        const std::string& command = words[0];
        if (command == "fault") {
            if (words.size() < 2)
                return "ERROR fault needs a FAULT";
            std::vector<Fault> faults;
            for (std::size_t i = 1; i < words.size(); ++i)
                faults.push_back(ParseFault(words[i]));
            for (const Fault& fault : faults)
                device.ApplyFault(fault);
            return "OK";
        }
        if (command == "reset") {
            DeviceConfig config = defaults;
            bool cassette2Given = false;
            for (std::size_t i = 1; i < words.size(); ++i) {
                ApplyResetArgument(words[i], config);
                cassette2Given = cassette2Given || words[i].rfind("cassette2=", 0) == 0;
            }
            // An LCDM-1000 has no lower cassette: unless told otherwise, it is empty.
            if (config.model == Model::Lcdm1000 && !cassette2Given)
                config.cassette2 = 0;
            device.Reset(config);
            return "OK";
        }
        if (words.size() == 1 && command == "truth")
            return SummaryJson(device.Truth());
        if (words.size() == 1 && command == "frames")
            return FramesJson(device.Truth());
        return "ERROR unknown command '" + line + "' (fault, reset, truth, frames, quit)";
    } catch (const std::invalid_argument& error) {
        return std::string("ERROR ") + error.what();
    }
}

} // namespace lcdm
