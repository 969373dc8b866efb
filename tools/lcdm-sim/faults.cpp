#include "faults.h"

#include "frame_codec.h"

#include <algorithm>
#include <charconv>
#include <stdexcept>
#include <vector>

namespace lcdm {

namespace {

constexpr int kMaxFaultCount = 1000000;

std::vector<std::string_view> SplitFields(std::string_view text)
{
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t colon = text.find(':', start);
        fields.push_back(text.substr(start, colon == std::string_view::npos ? colon : colon - start));
        if (colon == std::string_view::npos)
            return fields;
        start = colon + 1;
    }
}

int ParseNumber(std::string_view field, int low, int high, std::string_view fault)
{
    int value = 0;
    const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (field.empty() || error != std::errc() || end != field.data() + field.size() || value < low || value > high)
        throw std::invalid_argument("bad number '" + std::string(field) + "' in fault '" + std::string(fault) + "' (" +
                                    std::to_string(low) + " to " + std::to_string(high) + ")");
    return value;
}

std::uint8_t ParseHexByte(std::string_view field, std::string_view fault)
{
    unsigned value = 0;
    const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value, 16);
    if (field.size() != 2 || error != std::errc() || end != field.data() + field.size())
        throw std::invalid_argument("bad byte '" + std::string(field) + "' in fault '" + std::string(fault) +
                                    "' (two hexadecimal digits)");
    return static_cast<std::uint8_t>(value);
}

Removable ParseRemovable(std::string_view field, std::string_view fault)
{
    if (field == "1")
        return Removable::Cassette1;
    if (field == "2")
        return Removable::Cassette2;
    if (field == "tray")
        return Removable::RejectTray;
    throw std::invalid_argument("bad unit '" + std::string(field) + "' in fault '" + std::string(fault) +
                                "' (1, 2 or tray)");
}

struct Form {
    std::string_view name;
    FaultKind kind;
    std::string_view usage;
};

constexpr Form kForms[] = {
    {"nak", FaultKind::Nak, "nak:N            NAK the next N good command frames (they are not executed)"},
    {"ack", FaultKind::Ack, "ack:XX           answer the next command with byte 0xXX instead of ACK; not executed"},
    {"silent", FaultKind::Silent, "silent:N         ignore the next N commands completely"},
    {"mute", FaultKind::Mute, "mute:N           ACK and execute the next N commands but never send their responses"},
    {"bad-bcc", FaultKind::BadBcc, "bad-bcc:N        damage the BCC of the next N response transmissions (resends too)"},
    {"bad-echo", FaultKind::BadEcho, "bad-echo:N       wrong command echo in the next N response transmissions"},
    {"short", FaultKind::Short, "short:N          send only SOH ID STX echo of the next N response transmissions"},
    {"bad-payload", FaultKind::BadPayload, "bad-payload:N    make the next N response payloads invalid for the host"},
    {"over-count", FaultKind::OverCount, "over-count:N     the next N dispense answers claim one upper note more than paid"},
    {"jam-after", FaultKind::JamAfter, "jam-after:K[:XX] the next dispense jams after K picked notes (error XX, default 33)"},
    {"empty", FaultKind::Empty, "empty:C          cassette C (1 or 2) is empty now"},
    {"set-count", FaultKind::SetCount, "set-count:C:N    cassette C holds N notes now"},
    {"reject-every", FaultKind::RejectEvery, "reject-every:N   reject every Nth note a dispense picks (0 = off)"},
    {"note-ms", FaultKind::NoteMs, "note-ms:T        each note takes T milliseconds"},
    {"error", FaultKind::Error, "error:XX         status reports error 0xXX until error:30"},
    {"missing", FaultKind::Missing, "missing:U        unit U is taken out: cassette 1 or 2, or the reject tray (U = tray)"},
    {"present", FaultKind::Present, "present:U        ... and put back"},
    {"solenoid", FaultKind::Solenoid, "solenoid:1|0     a solenoid fault (SOL sensor, error 49 on payouts), or none"},
    {"clear", FaultKind::Clear, "clear            drop every pending fault (not the note counts or missing units)"},
};

} // namespace

Fault ParseFault(std::string_view text)
{
    const std::vector<std::string_view> fields = SplitFields(text);
    const auto form = std::find_if(std::begin(kForms), std::end(kForms),
                                   [&](const Form& candidate) { return candidate.name == fields[0]; });
    if (form == std::end(kForms))
        throw std::invalid_argument("unknown fault '" + std::string(text) + "'");

    Fault fault;
    fault.kind = form->kind;
    const auto expectFields = [&](std::size_t low, std::size_t high) {
        if (fields.size() < low || fields.size() > high)
            throw std::invalid_argument("wrong number of values in fault '" + std::string(text) + "', expected " +
                                        std::string(form->usage.substr(0, form->usage.find(' '))));
    };
    switch (fault.kind) {
    case FaultKind::Nak:
    case FaultKind::Silent:
    case FaultKind::Mute:
    case FaultKind::BadBcc:
    case FaultKind::BadEcho:
    case FaultKind::Short:
    case FaultKind::BadPayload:
    case FaultKind::OverCount:
    case FaultKind::RejectEvery:
    case FaultKind::NoteMs:
        expectFields(2, 2);
        fault.count = ParseNumber(fields[1], 0, kMaxFaultCount, text);
        break;
    case FaultKind::Ack:
    case FaultKind::Error:
        expectFields(2, 2);
        fault.code = ParseHexByte(fields[1], text);
        break;
    case FaultKind::JamAfter:
        expectFields(2, 3);
        fault.count = ParseNumber(fields[1], 0, kMaxFaultCount, text);
        fault.code = fields.size() == 3 ? ParseHexByte(fields[2], text) : std::uint8_t{0x33};
        break;
    case FaultKind::Empty:
        expectFields(2, 2);
        fault.cassette = ParseNumber(fields[1], 1, 2, text);
        break;
    case FaultKind::SetCount:
        expectFields(3, 3);
        fault.cassette = ParseNumber(fields[1], 1, 2, text);
        fault.count = ParseNumber(fields[2], 0, kMaxFaultCount, text);
        break;
    case FaultKind::Missing:
    case FaultKind::Present:
        expectFields(2, 2);
        fault.removable = ParseRemovable(fields[1], text);
        break;
    case FaultKind::Solenoid:
        expectFields(2, 2);
        fault.count = ParseNumber(fields[1], 0, 1, text);
        break;
    case FaultKind::Clear:
        expectFields(1, 1);
        break;
    }
    return fault;
}

bool IsLinkFault(FaultKind kind)
{
    switch (kind) {
    case FaultKind::Nak:
    case FaultKind::Ack:
    case FaultKind::Silent:
    case FaultKind::Mute:
    case FaultKind::BadBcc:
    case FaultKind::BadEcho:
    case FaultKind::Short:
    case FaultKind::BadPayload:
    case FaultKind::OverCount:
        return true;
    default:
        return false;
    }
}

std::string FaultHelp()
{
    std::string text;
    for (const Form& form : kForms) {
        text += "  ";
        text += form.usage;
        text += '\n';
    }
    return text;
}

void LinkFaults::Apply(const Fault& fault)
{
    switch (fault.kind) {
    case FaultKind::Nak:
        nak_ = fault.count;
        break;
    case FaultKind::Ack:
        ackPending_ = true;
        ackByte_ = fault.code;
        break;
    case FaultKind::Silent:
        silent_ = fault.count;
        break;
    case FaultKind::Mute:
        mute_ = fault.count;
        break;
    case FaultKind::BadBcc:
        badBcc_ = fault.count;
        break;
    case FaultKind::BadEcho:
        badEcho_ = fault.count;
        break;
    case FaultKind::Short:
        short_ = fault.count;
        break;
    case FaultKind::BadPayload:
        badPayload_ = fault.count;
        break;
    case FaultKind::OverCount:
        overCount_ = fault.count;
        break;
    default:
        break;
    }
}

namespace {

// Uses up one of a counted fault; true when one was pending.
bool TakeOne(int& pending)
{
    if (pending <= 0)
        return false;
    --pending;
    return true;
}

} // namespace

AckDecision LinkFaults::TakeAcknowledgement()
{
    if (TakeOne(silent_))
        return {Acknowledgement::Silent, 0};
    if (TakeOne(nak_))
        return {Acknowledgement::Nak, wire::kNak};
    if (ackPending_) {
        ackPending_ = false;
        return {Acknowledgement::Other, ackByte_};
    }
    return {Acknowledgement::Ack, wire::kAck};
}

bool LinkFaults::TakeMute()
{
    return TakeOne(mute_);
}

bool LinkFaults::TakeBadPayload()
{
    return TakeOne(badPayload_);
}

bool LinkFaults::TakeOverCount()
{
    return TakeOne(overCount_);
}

Bytes LinkFaults::Transmission(const Bytes& response)
{
    Bytes bytes = response;
    if (TakeOne(badEcho_)) {
        bytes[3] ^= 0x01;
        bytes.back() = BlockCheck(bytes.begin(), bytes.end() - 1); // only the echo is wrong
    }
    if (TakeOne(badBcc_))
        bytes.back() ^= 0xFF;
    if (TakeOne(short_))
        bytes.resize(4);
    return bytes;
}

void CorruptPayload(std::uint8_t code, Bytes& payload)
{
    switch (code) {
    case command_code::kStatus:
        payload[0] = 0x31;
        payload[2] &= 0x7F;
        payload[3] &= 0x7F;
        break;
    case command_code::kDispense:
    case command_code::kDispenseBoth:
        payload[2] = '7'; // an exit count past what one command can pay
        break;
    case command_code::kTestRejectUpper:
    case command_code::kTestRejectLower:
        payload[0] = '7';
        break;
    default:
        std::fill(payload.begin(), payload.end(), std::uint8_t{0});
        break;
    }
}

namespace {

// Adds one to the two ASCII digits at `at`.
void IncrementCount(Bytes& payload, std::size_t at)
{
    const int value = (payload[at] - '0') * 10 + (payload[at + 1] - '0') + 1;
    payload[at] = static_cast<std::uint8_t>('0' + value / 10 % 10);
    payload[at + 1] = static_cast<std::uint8_t>('0' + value % 10);
}

} // namespace

void OvercountPayload(std::uint8_t code, Bytes& payload)
{
    if (code != command_code::kDispense && code != command_code::kDispenseBoth)
        return;
    IncrementCount(payload, 0); // checked
    IncrementCount(payload, 2); // exited
}

} // namespace lcdm
