#include "ground_truth.h"

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <system_error>

namespace lcdm {

std::string HexBytes(const Bytes& bytes)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (const std::uint8_t byte : bytes) {
        if (!text.empty())
            text += ' ';
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0x0F];
    }
    return text;
}

std::string DirectionName(Direction direction)
{
    return direction == Direction::In ? "in" : "out";
}

std::string KindName(RecordKind kind)
{
    switch (kind) {
    case RecordKind::Command:
        return "command";
    case RecordKind::BadFrame:
        return "bad-frame";
    case RecordKind::Response:
        return "response";
    case RecordKind::Ack:
        return "ack";
    case RecordKind::Nak:
        return "nak";
    case RecordKind::OtherAck:
        return "other-ack";
    case RecordKind::Noise:
        return "noise";
    }
    return "unknown";
}

namespace {

// Escapes a text for a JSON string (quotes not included).
std::string JsonText(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(static_cast<unsigned char>(c)));
            out += escaped;
        } else {
            out += c;
        }
    }
    return out;
}

void AddField(std::string& json, const char* name, long long value)
{
    json += ",\"";
    json += name;
    json += "\":";
    json += std::to_string(value);
}

} // namespace

std::string SummaryJson(const GroundTruth& truth)
{
    std::string json = "{\"model\":\"" + ModelName(truth.model) + "\"";
    AddField(json, "cassette1", truth.cassette1);
    AddField(json, "cassette2", truth.cassette2);
    AddField(json, "taken1", truth.moved.taken[0]);
    AddField(json, "taken2", truth.moved.taken[1]);
    AddField(json, "exit1", truth.moved.exited[0]);
    AddField(json, "exit2", truth.moved.exited[1]);
    AddField(json, "rejected1", truth.moved.rejected[0]);
    AddField(json, "rejected2", truth.moved.rejected[1]);
    AddField(json, "reject_bin", truth.moved.rejectBin);
    AddField(json, "in_path", truth.moved.inPath[0] + truth.moved.inPath[1]);
    AddField(json, "commands", static_cast<long long>(truth.commands));
    AddField(json, "frames_in", static_cast<long long>(truth.framesIn));
    AddField(json, "frames_out", static_cast<long long>(truth.framesOut));
    if (!truth.linkFailure.empty())
        json += ",\"link_failure\":\"" + JsonText(truth.linkFailure) + "\"";
    json += '}';
    return json;
}

std::string FrameRecordJson(const FrameRecord& record)
{
    return "{\"dir\":\"" + DirectionName(record.direction) + "\",\"kind\":\"" + KindName(record.kind) +
           "\",\"ms\":" + std::to_string(record.at.count()) + ",\"hex\":\"" + HexBytes(record.bytes) +
           "\",\"line_us\":" +
           std::to_string(
               std::chrono::duration_cast<std::chrono::microseconds>(record.lineAt.time_since_epoch()).count()) +
           "}";
}

std::string FramesJson(const GroundTruth& truth)
{
    std::string json = "{\"frames\":[";
    for (std::size_t i = 0; i < truth.frames.size(); ++i) {
        if (i > 0)
            json += ',';
        json += FrameRecordJson(truth.frames[i]);
    }
    json += "]}";
    return json;
}

void WriteGroundTruthFile(const std::string& path, const GroundTruth& truth)
{
    std::ofstream file(path, std::ios::out | std::ios::trunc);
    if (!file)
        throw std::system_error(errno, std::generic_category(), "cannot open ground-truth file " + path);
    file << SummaryJson(truth) << '\n';
    for (const FrameRecord& record : truth.frames)
        file << FrameRecordJson(record) << '\n';
    file.flush();
    if (!file)
        throw std::system_error(EIO, std::generic_category(), "cannot write ground-truth file " + path);
}

} // namespace lcdm
