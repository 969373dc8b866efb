// Faults the simulator can be told to show: their text form (as given to --fault, the
// control channel's "fault" command and Simulator::Fault), and the pending link faults
// that damage or replace what the device sends.
#pragma once

#include "bytes.h"
#include "device_model.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace lcdm {

enum class FaultKind {
    // Link faults: counted down as they are used.
    Nak,        // nak:N          NAK the next N good command frames (not executed)
    Ack,        // ack:XX         answer the next good command frame with byte 0xXX, not executed
    Silent,     // silent:N       ignore the next N good command frames completely
    Mute,       // mute:N         ACK and execute the next N commands, never send their responses
    BadBcc,     // bad-bcc:N      damage the BCC of the next N response transmissions
    BadEcho,    // bad-echo:N     wrong command echo in the next N response transmissions
    Short,      // short:N        cut the next N response transmissions to SOH ID STX echo
    BadPayload, // bad-payload:N  make the next N response payloads invalid for the host
    OverCount,  // over-count:N   the next N dispense answers claim one upper note more than paid
    // Device faults and changes of state.
    JamAfter,    // jam-after:K[:XX]  the next dispense that picks jams after K picks (code XX, default 33)
    Empty,       // empty:C           cassette C (1 or 2) holds no notes now
    SetCount,    // set-count:C:N     cassette C holds N notes now
    RejectEvery, // reject-every:N    reject every Nth note a dispense picks (0 = off)
    NoteMs,      // note-ms:T         each note takes T milliseconds
    Error,       // error:XX          status reports error 0xXX until error:30
    Missing,     // missing:1|2|tray  the cassette or the reject tray is taken out
    Present,     // present:1|2|tray  ... and put back
    Solenoid,    // solenoid:1|0      a solenoid (SOL sensor) fault, or none
    Clear,       // clear             drop the link faults, the jam, rejects, note time, solenoid and sticky error
};

struct Fault {
    FaultKind kind{};
    int count = 0;           // N, K, T or the notes of set-count
    int cassette = 0;        // empty, set-count: 1 or 2
    Removable removable{};    // missing, present
    std::uint8_t code = 0;   // ack byte, jam code, sticky error
};

// Raises std::invalid_argument with a reason when the text is not a fault.
Fault ParseFault(std::string_view text);

// True for the kinds that LinkFaults handles.
bool IsLinkFault(FaultKind kind);

// The fault forms, one per line, for --help.
std::string FaultHelp();

// How a good command frame is acknowledged.
enum class Acknowledgement { Ack, Nak, Silent, Other };
struct AckDecision {
    Acknowledgement kind = Acknowledgement::Ack;
    std::uint8_t byte = 0; // the byte sent for Other
};

// The pending link faults. Not locked: the simulator uses it under its own lock.
class LinkFaults {
public:
    void Apply(const Fault& fault); // link kinds only; others are ignored

    // What the next good command frame gets: silent wins over NAK, NAK over an unknown
    // acknowledgement byte. Uses up the fault it applies.
    AckDecision TakeAcknowledgement();
    bool TakeMute();
    bool TakeBadPayload();
    bool TakeOverCount();
    // One transmission of `response`, damaged by every pending per-transmission fault
    // (each of them counted down).
    Bytes Transmission(const Bytes& response);

private:
    int nak_ = 0;
    int silent_ = 0;
    int mute_ = 0;
    int badBcc_ = 0;
    int badEcho_ = 0;
    int short_ = 0;
    int badPayload_ = 0;
    int overCount_ = 0;
    bool ackPending_ = false;
    std::uint8_t ackByte_ = 0;
};

// Makes `payload`, the answer to command `code`, one the host must refuse: status with
// P0 != 0x30 and bit 7 of both sensor bytes clear; dispense and test reject with the first
// count digit '7'. The answers the host cannot refuse (version, purge, unknown) become zeros.
void CorruptPayload(std::uint8_t code, Bytes& payload);

// Makes a dispense answer claim one note more out of the upper cassette (checked and
// exited) than the device paid; other answers stay as they are.
void OvercountPayload(std::uint8_t code, Bytes& payload);

} // namespace lcdm
