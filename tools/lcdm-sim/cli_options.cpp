#include "cli_options.h"

#include "faults.h"
#include "lcdm_sim_version.h"

#include <charconv>
#include <optional>
#include <stdexcept>

namespace lcdm {

namespace {

int ParseInt(const std::string& option, const std::string& text, int low, int high)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < low || value > high)
        throw std::invalid_argument(option + " takes a number from " + std::to_string(low) + " to " +
                                    std::to_string(high) + ", got '" + text + "'");
    return value;
}

} // namespace

ProgramOptions ParseCommandLine(const std::vector<std::string>& arguments)
{
    ProgramOptions options;
    SimulatorOptions& simulator = options.simulator;
    DeviceConfig& device = simulator.device;
    bool cassette2Given = false;

    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string option = arguments[i];
        std::optional<std::string> inlineValue;
        if (const std::size_t equals = option.find('='); option.rfind("--", 0) == 0 && equals != std::string::npos) {
            inlineValue = option.substr(equals + 1);
            option.resize(equals);
        }
        const auto value = [&]() -> std::string {
            if (inlineValue)
                return *inlineValue;
            if (i + 1 >= arguments.size())
                throw std::invalid_argument(option + " needs a value");
            return arguments[++i];
        };
        const auto noValue = [&] {
            if (inlineValue)
                throw std::invalid_argument(option + " takes no value");
        };

        if (option == "--help" || option == "-h") {
            noValue();
            options.showHelp = true;
        } else if (option == "--model") {
            device.model = ParseModel(value());
        } else if (option == "--cassette1") {
            device.cassette1 = ParseInt(option, value(), 0, 1000000);
        } else if (option == "--cassette2") {
            device.cassette2 = ParseInt(option, value(), 0, 1000000);
            cassette2Given = true;
        } else if (option == "--near-end") {
            device.nearEnd = ParseInt(option, value(), 0, 1000000);
        } else if (option == "--over-reject") {
            device.overRejectLimit = ParseInt(option, value(), 0, 99);
        } else if (option == "--version") {
            noValue();
            options.showVersion = true;
        } else if (option == "--firmware") {
            device.version = value();
        } else if (option == "--port") {
            simulator.port = value();
        } else if (option == "--link") {
            simulator.links.push_back(value());
        } else if (option == "--fault") {
            std::string fault = value();
            ParseFault(fault);
            simulator.faults.push_back(std::move(fault));
        } else if (option == "--pace-baud") {
            simulator.paceBaud = ParseInt(option, value(), 0, 10000000);
        } else if (option == "--ack-timeout") {
            simulator.ackTimeout = std::chrono::milliseconds(ParseInt(option, value(), 0, 3600000));
        } else if (option == "--ground-truth") {
            options.groundTruthPath = value();
        } else if (option == "--control") {
            simulator.control = value();
        } else if (option == "--ignore-stdin") {
            noValue();
            options.watchStdin = false;
        } else {
            throw std::invalid_argument("unknown option '" + arguments[i] + "'");
        }
    }
    // An LCDM-1000 has no lower cassette: unless told otherwise, it is empty.
    if (device.model == Model::Lcdm1000 && !cassette2Given)
        device.cassette2 = 0;
    ValidateConfig(device);
    return options;
}

std::string HelpText()
{
    return "Usage: lcdm-sim [OPTION]...\n"
           "Simulates an LCDM-1000 or LCDM-2000 banknote dispenser on a new pseudo-terminal or, with\n"
           "--port, on an existing serial port: the device's end of a null-modem pair, whose other\n"
           "end the host opens (on Windows --port is required, for example --port COM2).\n"
           "Prints 'CONTROL <host>:<port>' (with --control), then 'READY <line>', and serves\n"
           "until SIGTERM, SIGINT (Ctrl+C) or the end of standard input.\n"
           "\n"
           "Options:\n"
           "  --model LCDM-1000|LCDM-2000  device model (default LCDM-2000)\n"
           "  --cassette1 N            notes in the upper cassette (default 100)\n"
           "  --cassette2 N            notes in the lower cassette (default 100; 0 on an LCDM-1000)\n"
           "  --near-end N             a cassette with fewer notes is near its end (default 20)\n"
           "  --over-reject N          rejects one dispense may make before 'Over Reject' (default 10)\n"
           "  --firmware TEXT          firmware version, 1 to 8 printable characters (default V1.2)\n"
           "  --port PORT              serve this existing port (COM2, /dev/pts/5) instead of a new\n"
           "                           pseudo-terminal (8 data bits, no parity, 1 stop bit)\n"
           "  --link PATH              make PATH a symbolic link to the pseudo-terminal (repeatable;\n"
           "                           an existing symbolic link is replaced; removed at exit)\n"
           "  --fault FAULT            inject a fault at start (repeatable; forms below)\n"
           "  --pace-baud BAUD         send each byte in the time of 10 bits at BAUD (default: no pacing)\n"
           "  --ack-timeout MS         wait this long for the host's ACK of a response (default 5000)\n"
           "  --ground-truth FILE      write the ground truth there at exit, as JSON lines\n"
           "  --control HOST:PORT      listen for control commands on TCP (PORT 0: any free port)\n"
           "  --ignore-stdin           do not stop at the end of standard input\n"
           "  --help                   show this text\n"
           "  --version                show the program's version\n"
           "\n"
           "Faults (N counts, XX two hexadecimal digits, C cassette 1 or 2):\n" +
           FaultHelp() +
           "\n"
           "Control commands (one per line, one reply line each):\n"
           "  fault FAULT...           apply faults -> OK\n"
           "  reset [model=M] [cassette1=N] [cassette2=N] [near-end=N]\n"
           "                           fresh device, ground truth and faults -> OK\n"
           "  truth                    ground-truth summary as one JSON line\n"
           "  frames                   every frame and byte in and out as one JSON line\n"
           "  quit                     -> OK, then the connection closes\n"
           "  errors are answered 'ERROR reason'\n";
}

std::string VersionText()
{
    return std::string("lcdm-sim ") + LCDM_SIM_VERSION + "\n";
}

} // namespace lcdm
