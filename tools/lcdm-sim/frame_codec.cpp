#include "frame_codec.h"

namespace lcdm {

std::uint8_t BlockCheck(Bytes::const_iterator begin, Bytes::const_iterator end)
{
    std::uint8_t check = 0;
    for (auto it = begin; it != end; ++it)
        check ^= *it;
    return check;
}

Bytes BuildResponseFrame(std::uint8_t echo, const Bytes& payload)
{
    Bytes frame;
    frame.reserve(payload.size() + 6);
    for (const std::uint8_t byte : {wire::kSoh, wire::kId, wire::kStx, echo})
        frame.push_back(byte);
    frame.insert(frame.end(), payload.begin(), payload.end());
    frame.push_back(wire::kEtx);
    frame.push_back(BlockCheck(frame.begin(), frame.end()));
    return frame;
}

std::optional<CommandFrame> CommandFrameParser::Push(std::uint8_t byte)
{
    if (!inFrame_) {
        if (byte == wire::kEot) {
            inFrame_ = true;
            frame_.assign(1, byte);
        } else {
            discarded_.push_back(byte);
        }
        return std::nullopt;
    }
    if (awaitingBcc_) {
        frame_.push_back(byte);
        return Finish();
    }
    if (byte == wire::kEot) {
        // The host started over: what came before the new EOT was never a whole frame.
        discarded_.insert(discarded_.end(), frame_.begin(), frame_.end());
        frame_.assign(1, byte);
        return std::nullopt;
    }
    frame_.push_back(byte);
    if (byte == wire::kEtx)
        awaitingBcc_ = true;
    else if (frame_.size() >= kMaxFrameLength)
        return Finish();
    return std::nullopt;
}

CommandFrame CommandFrameParser::Finish()
{
    CommandFrame frame;
    frame.raw = std::move(frame_);
    frame_.clear();
    inFrame_ = false;
    awaitingBcc_ = false;

    const Bytes& raw = frame.raw;
    // EOT ID STX code ETX BCC is the shortest frame.
    frame.valid = raw.size() >= 6 && raw[1] == wire::kId && raw[2] == wire::kStx && raw[raw.size() - 2] == wire::kEtx &&
                  BlockCheck(raw.begin(), raw.end() - 1) == raw.back();
    if (frame.valid)
        frame.command.assign(raw.begin() + 3, raw.end() - 2);
    return frame;
}

Bytes CommandFrameParser::TakeDiscarded()
{
    Bytes taken;
    taken.swap(discarded_);
    return taken;
}

} // namespace lcdm
