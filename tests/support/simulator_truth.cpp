#include "tests/support/simulated_dispenser.h"

#include <cstdlib>

unsigned JsonNumber(const std::string& json, const std::string& key)
{
    const std::string quoted = "\"" + key + "\":";
    const std::size_t at = json.find(quoted);
    if (at == std::string::npos)
        return 0;
    return static_cast<unsigned>(std::strtoul(json.c_str() + at + quoted.size(), nullptr, 10));
}

SimulatorTruth ParseTruth(const std::string& json)
{
    SimulatorTruth truth;
    truth.cassette1 = JsonNumber(json, "cassette1");
    truth.cassette2 = JsonNumber(json, "cassette2");
    truth.taken1 = JsonNumber(json, "taken1");
    truth.taken2 = JsonNumber(json, "taken2");
    truth.exit1 = JsonNumber(json, "exit1");
    truth.exit2 = JsonNumber(json, "exit2");
    truth.rejected1 = JsonNumber(json, "rejected1");
    truth.rejected2 = JsonNumber(json, "rejected2");
    truth.rejectBin = JsonNumber(json, "reject_bin");
    truth.inPath = JsonNumber(json, "in_path");
    truth.commands = JsonNumber(json, "commands");
    truth.framesIn = JsonNumber(json, "frames_in");
    truth.framesOut = JsonNumber(json, "frames_out");
    return truth;
}
