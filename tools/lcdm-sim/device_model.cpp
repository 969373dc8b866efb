#include "device_model.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>
#include <utility>

namespace lcdm {

namespace {

// Device error codes the model reports.
constexpr std::uint8_t kGood = 0x30;
constexpr std::uint8_t kUndefinedCommand = 0x37;
constexpr std::uint8_t kUpperBillEnd = 0x38;
constexpr std::uint8_t kNoteRequestError = 0x3B;
constexpr std::uint8_t kTrayNotRecognized = 0x3F;
constexpr std::uint8_t kLowerBillEnd = 0x40;
constexpr std::uint8_t kOverReject = 0x44;
constexpr std::uint8_t kUpperCassetteMissing = 0x45;
constexpr std::uint8_t kLowerCassetteMissing = 0x46;
constexpr std::uint8_t kSolenoidError = 0x49;
constexpr std::uint8_t kPurgeJam = 0x4E;

constexpr int kMaxRequest = 60; // notes per cassette in one dispense
constexpr int kMaxNotes = 1000000;
constexpr std::uint8_t kSensorValid = 0x80; // bit 7 of both sensor bytes

std::uint8_t Digit(int value)
{
    return static_cast<std::uint8_t>('0' + value);
}

void AppendCount(Bytes& out, int value)
{
    value = std::clamp(value, 0, 99);
    out.push_back(Digit(value / 10));
    out.push_back(Digit(value % 10));
}

// The two ASCII digits at `at`, when both are digits and the count is within protocol.
std::optional<int> ReadCount(const Bytes& command, std::size_t at)
{
    const auto isDigit = [](std::uint8_t byte) { return byte >= '0' && byte <= '9'; };
    if (!isDigit(command[at]) || !isDigit(command[at + 1]))
        return std::nullopt;
    const int count = (command[at] - '0') * 10 + (command[at + 1] - '0');
    if (count > kMaxRequest)
        return std::nullopt;
    return count;
}

// Where a note stuck after a jam shows in the sensors: byte B (LCDM-2000 only) or A.
struct SensorBit {
    bool byteB;
    std::uint8_t mask;
};

SensorBit JamSensor(std::uint8_t code, Model model)
{
    switch (code) {
    case 0x35: // EXIT
        return {false, 0x20};
    case 0x36: // DIV
    case 0x42:
    case kPurgeJam:
        return {false, 0x04};
    case 0x48: // EJT
        return {false, 0x10};
    case 0x4C: // CHK 3,4
        if (model == Model::Lcdm2000)
            return {true, 0x08};
        return {false, 0x01};
    default: // CHK 1,2 and anything else
        return {false, 0x01};
    }
}

} // namespace

std::string ModelName(Model model)
{
    return model == Model::Lcdm1000 ? "LCDM-1000" : "LCDM-2000";
}

Model ParseModel(const std::string& name)
{
    std::string upper = name;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (upper == "LCDM-1000")
        return Model::Lcdm1000;
    if (upper == "LCDM-2000")
        return Model::Lcdm2000;
    throw std::invalid_argument("unknown model '" + name + "' (LCDM-1000 or LCDM-2000)");
}

void ValidateConfig(const DeviceConfig& config)
{
    const auto check = [](bool ok, const std::string& what) {
        if (!ok)
            throw std::invalid_argument(what);
    };
    check(config.cassette1 >= 0 && config.cassette1 <= kMaxNotes, "cassette 1 notes out of range (0 to 1000000)");
    check(config.cassette2 >= 0 && config.cassette2 <= kMaxNotes, "cassette 2 notes out of range (0 to 1000000)");
    check(config.nearEnd >= 0 && config.nearEnd <= kMaxNotes, "near-end threshold out of range (0 to 1000000)");
    check(config.overRejectLimit >= 0 && config.overRejectLimit <= 99, "over-reject limit out of range (0 to 99)");
    check(!config.version.empty() && config.version.size() <= 8 &&
              std::all_of(config.version.begin(), config.version.end(), [](char c) { return c >= 0x20 && c <= 0x7E; }),
          "version text must be 1 to 8 printable ASCII characters");
}

DeviceModel::DeviceModel(const DeviceConfig& config) : config_(config), notes_{config.cassette1, config.cassette2}
{
    ValidateConfig(config);
}

void DeviceModel::Begin(const Bytes& command)
{
    run_ = Run{};
    run_.code = command.empty() ? 0 : command[0];
    switch (run_.code) {
    case command_code::kPurge:
        run_.payload = PurgePayload();
        break;
    case command_code::kStatus:
        run_.payload = StatusPayload();
        break;
    case command_code::kVersion:
        run_.payload = VersionPayload();
        break;
    case command_code::kDispense:
    case command_code::kDispenseBoth:
        BeginDispense(command);
        break;
    case command_code::kTestRejectUpper:
        BeginTestReject(0);
        break;
    case command_code::kTestRejectLower:
        BeginTestReject(1);
        break;
    default:
        run_.payload = {kUndefinedCommand};
        break;
    }
}

bool DeviceModel::Finished() const
{
    return run_.finished;
}

void DeviceModel::Step()
{
    if (run_.finished)
        return;
    if (run_.kind == RunKind::Dispense)
        StepDispense();
    else if (run_.kind == RunKind::TestReject)
        StepTestReject();
}

Bytes DeviceModel::Payload() const
{
    switch (run_.kind) {
    case RunKind::Dispense:
        return DispensePayload();
    case RunKind::TestReject:
        return TestRejectPayload();
    case RunKind::Immediate:
        break;
    }
    return run_.payload;
}

void DeviceModel::BeginDispense(const Bytes& command)
{
    run_.kind = RunKind::Dispense;
    const bool both = run_.code == command_code::kDispenseBoth;
    if (both && config_.model == Model::Lcdm1000) {
        run_.error = kUndefinedCommand;
        return;
    }
    const std::size_t expectedLength = both ? 5 : 3;
    std::optional<int> upper;
    std::optional<int> lower = 0;
    if (command.size() == expectedLength) {
        upper = ReadCount(command, 1);
        if (both)
            lower = ReadCount(command, 3);
    }
    if (!upper || !lower) {
        run_.error = kNoteRequestError;
        return;
    }
    run_.requested = {*upper, *lower};
    run_.error = BlockingError(run_.requested);
    if (run_.error != kGood)
        return;
    run_.finished = !NextDispenseCassette();
    // An armed jam belongs to the first dispense that picks notes.
    if (!run_.finished)
        run_.jam = std::exchange(armedJam_, std::nullopt);
}

void DeviceModel::BeginTestReject(std::size_t cassette)
{
    run_.kind = RunKind::TestReject;
    run_.cassette = cassette;
    if (!HasCassette(cassette)) {
        run_.error = kUndefinedCommand;
        return;
    }
    std::array<int, 2> requested{};
    requested[cassette] = 1;
    run_.error = BlockingError(requested);
    run_.finished = run_.error != kGood;
}

// A missing cassette or tray, or a solenoid fault, stops a command before the first pick.
std::uint8_t DeviceModel::BlockingError(const std::array<int, 2>& requested) const
{
    if (requested[0] > 0 && !cassettePresent_[0])
        return kUpperCassetteMissing;
    if (requested[1] > 0 && !cassettePresent_[1])
        return kLowerCassetteMissing;
    if (!trayPresent_)
        return kTrayNotRecognized;
    if (solenoidFault_)
        return kSolenoidError;
    return kGood;
}

std::optional<std::size_t> DeviceModel::NextDispenseCassette() const
{
    for (std::size_t i = 0; i < 2; ++i) {
        if (!run_.stopped[i] && run_.exited[i] < run_.requested[i])
            return i;
    }
    return std::nullopt;
}

void DeviceModel::StepDispense()
{
    const auto next = NextDispenseCassette();
    if (!next) {
        run_.finished = true;
        return;
    }
    const std::size_t i = *next;
    if (notes_[i] == 0) {
        // Bill-end stops this cassette only; the other one goes on.
        run_.stopped[i] = true;
        if (run_.error == kGood)
            run_.error = i == 0 ? kUpperBillEnd : kLowerBillEnd;
        run_.finished = !NextDispenseCassette();
        return;
    }
    --notes_[i];
    ++counters_.taken[i];
    ++run_.picks;
    if (run_.jam && run_.picks > run_.jam->afterNotes) {
        // The note never reaches the check sensors; it stays in the transport until a purge.
        ++counters_.inPath[i];
        jammedAt_ = run_.jam->code;
        run_.error = run_.jam->code;
        run_.finished = true;
        return;
    }
    ++run_.checked[i];
    if (rejectEvery_ > 0 && run_.picks % rejectEvery_ == 0) {
        ++run_.rejected[i];
        ++counters_.rejected[i];
        ++counters_.rejectBin;
        if (++run_.rejects > config_.overRejectLimit) {
            run_.error = kOverReject;
            run_.finished = true;
            return;
        }
    } else {
        ++run_.exited[i];
        ++counters_.exited[i];
    }
    run_.finished = !NextDispenseCassette();
}

void DeviceModel::StepTestReject()
{
    const std::size_t i = run_.cassette;
    run_.finished = true;
    if (notes_[i] == 0) {
        run_.error = i == 0 ? kUpperBillEnd : kLowerBillEnd;
        return;
    }
    --notes_[i];
    ++counters_.taken[i];
    ++run_.checked[i];
    ++run_.rejected[i];
    ++counters_.rejected[i];
    ++counters_.rejectBin;
}

bool DeviceModel::HasCassette(std::size_t index) const
{
    return index == 0 || config_.model == Model::Lcdm2000;
}

bool DeviceModel::NearEnd(std::size_t index) const
{
    return HasCassette(index) && cassettePresent_[index] && notes_[index] < config_.nearEnd;
}

std::uint8_t DeviceModel::StatusByte(std::size_t index) const
{
    return NearEnd(index) ? '1' : '0';
}

Bytes DeviceModel::StatusPayload() const
{
    std::uint8_t a = kSensorValid;
    std::uint8_t b = kSensorValid;
    if (NearEnd(0))
        a |= 0x40; // NEAREND0
    if (config_.model == Model::Lcdm2000) {
        if (solenoidFault_)
            b |= 0x01; // SOL SENSOR
        if (!cassettePresent_[0])
            b |= 0x02; // CASSETTE0 SENSOR
        if (!cassettePresent_[1])
            b |= 0x04; // CASSETTE1 SENSOR
        if (NearEnd(1))
            b |= 0x20; // NEAREND1
        if (!trayPresent_)
            b |= 0x40; // REJECT TRAY S/W
    } else {
        if (!trayPresent_)
            b |= 0x01; // no reject tray
        if (!cassettePresent_[0])
            b |= 0x02; // CASSETTE SENSOR
        if (solenoidFault_)
            b |= 0x04; // SOL SENSOR
    }
    if (jammedAt_) {
        const SensorBit sensor = JamSensor(*jammedAt_, config_.model);
        (sensor.byteB ? b : a) |= sensor.mask;
    }
    return {kGood, stickyError_, a, b};
}

Bytes DeviceModel::VersionPayload() const
{
    // The version text, padded to four characters, then the model's number fills up to eight.
    std::string text = config_.version;
    if (text.size() < 4)
        text.resize(4, ' ');
    const std::string modelNumber = config_.model == Model::Lcdm1000 ? "1000" : "2000";
    text += modelNumber.substr(0, 8 - text.size());
    return Bytes(text.begin(), text.end());
}

Bytes DeviceModel::PurgePayload()
{
    if (armedJam_)
        return {kPurgeJam};
    // Notes held in the transport by a jam go to the reject bin.
    for (std::size_t i = 0; i < 2; ++i) {
        counters_.rejected[i] += counters_.inPath[i];
        counters_.rejectBin += counters_.inPath[i];
        counters_.inPath[i] = 0;
    }
    jammedAt_.reset();
    return {kGood};
}

Bytes DeviceModel::DispensePayload() const
{
    Bytes payload;
    AppendCount(payload, run_.checked[0]);
    AppendCount(payload, run_.exited[0]);
    if (run_.code == command_code::kDispense) {
        payload.push_back(run_.error);
        payload.push_back(StatusByte(0));
        AppendCount(payload, run_.rejected[0]);
        return payload;
    }
    AppendCount(payload, run_.checked[1]);
    AppendCount(payload, run_.exited[1]);
    payload.push_back(run_.error);
    payload.push_back(StatusByte(0));
    payload.push_back(StatusByte(1));
    AppendCount(payload, run_.rejected[0]);
    AppendCount(payload, run_.rejected[1]);
    return payload;
}

Bytes DeviceModel::TestRejectPayload() const
{
    const std::size_t i = run_.cassette;
    Bytes payload;
    AppendCount(payload, run_.checked[i]);
    AppendCount(payload, 0);
    payload.push_back(run_.error);
    payload.push_back(StatusByte(i));
    AppendCount(payload, run_.rejected[i]);
    return payload;
}

void DeviceModel::SetNotes(int cassette, int notes)
{
    if (cassette < 1 || cassette > 2)
        throw std::invalid_argument("cassette must be 1 or 2");
    if (notes < 0 || notes > kMaxNotes)
        throw std::invalid_argument("notes out of range (0 to 1000000)");
    notes_[static_cast<std::size_t>(cassette - 1)] = notes;
}

void DeviceModel::SetPresent(Removable unit, bool present)
{
    switch (unit) {
    case Removable::Cassette1:
        cassettePresent_[0] = present;
        break;
    case Removable::Cassette2:
        cassettePresent_[1] = present;
        break;
    case Removable::RejectTray:
        trayPresent_ = present;
        break;
    }
}

void DeviceModel::SetSolenoidFault(bool faulty)
{
    solenoidFault_ = faulty;
}

void DeviceModel::ArmJam(int afterNotes, std::uint8_t code)
{
    armedJam_ = Jam{afterNotes, code};
}

void DeviceModel::SetRejectEvery(int every)
{
    rejectEvery_ = every;
}

void DeviceModel::SetStickyError(std::uint8_t code)
{
    stickyError_ = code;
}

void DeviceModel::ClearFaults()
{
    armedJam_.reset();
    rejectEvery_ = 0;
    solenoidFault_ = false;
    stickyError_ = kGood;
}

} // namespace lcdm
