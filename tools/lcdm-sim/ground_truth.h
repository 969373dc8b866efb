// What really happened: the notes moved, and every frame and byte on the line, in order.
#pragma once

#include "bytes.h"
#include "device_model.h"

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

namespace lcdm {

enum class Direction { In, Out }; // In: host to device; Out: device to host

enum class RecordKind {
    Command,  // in: a good command frame
    BadFrame, // in: a frame with a wrong ID, STX, ETX or BCC (answered NAK)
    Response, // out: one transmission of a response frame (damaged ones included)
    Ack,      // either way: 0x06
    Nak,      // either way: 0x15
    OtherAck, // out: an unknown acknowledgement byte (fault ack:XX)
    Noise,    // in: bytes outside any frame where none was expected
};

// Bytes out are recorded just before they are written, bytes in as soon as they are
// understood; so the log already holds whatever the host has received.
struct FrameRecord {
    Direction direction{};
    RecordKind kind{};
    Bytes bytes;
    std::chrono::milliseconds at{}; // since the simulator started
    // When the bytes were on the line, on the system clock (which other programs on the
    // machine share): bytes from the host when the first of them was read, the device's
    // own when the last of them was whole at the host's end. Zero when not known.
    std::chrono::system_clock::time_point lineAt{};
};

struct GroundTruth {
    Model model{};
    int cassette1 = 0; // notes in the cassettes now
    int cassette2 = 0;
    NoteCounters moved;
    std::size_t commands = 0;  // commands executed
    std::size_t framesIn = 0;  // command frames received, good and bad
    std::size_t framesOut = 0; // response transmissions
    std::vector<FrameRecord> frames;
    std::string linkFailure; // why the link thread ended early; empty normally
};

// "04 50 02 47 03 12"
std::string HexBytes(const Bytes& bytes);
std::string DirectionName(Direction direction); // "in" / "out"
std::string KindName(RecordKind kind);          // "command", "bad-frame", "response", "ack", "nak", "other-ack", "noise"

// One line each, no line break:
// {"model":"LCDM-2000","cassette1":88,...,"commands":1,"frames_in":1,"frames_out":1}
std::string SummaryJson(const GroundTruth& truth);
// {"frames":[{"dir":"in","kind":"command","ms":3,"hex":"04 50 02 47 03 12","line_us":N},...]}
std::string FramesJson(const GroundTruth& truth);
// {"dir":"in","kind":"command","ms":3,"hex":"04 50 02 47 03 12","line_us":1796790706758712}
// line_us: `lineAt` in microseconds since 1970 (0: not known).
std::string FrameRecordJson(const FrameRecord& record);

// JSON lines: the summary, then one line per frame record. Raises std::system_error.
void WriteGroundTruthFile(const std::string& path, const GroundTruth& truth);

} // namespace lcdm
