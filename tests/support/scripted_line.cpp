#include "tests/support/scripted_line.h"

#include "framework/exceptions.h"

#include <algorithm>
#include <chrono>

void LineScript::Answer(ScriptedAnswer answer)
{
    std::lock_guard lock(mutex_);
    answers_.push_back(std::move(answer));
}

void LineScript::Hold()
{
    std::lock_guard lock(mutex_);
    held_ = true;
}

void LineScript::Release()
{
    {
        std::lock_guard lock(mutex_);
        held_ = false;
    }
    released_.notify_all();
}

bool LineScript::WaitForHeldRead(int milliseconds)
{
    std::unique_lock lock(mutex_);
    return released_.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return heldReads_ > 0; });
}

std::vector<std::uint8_t> LineScript::Written() const
{
    std::lock_guard lock(mutex_);
    return written_;
}

int LineScript::Opened() const
{
    std::lock_guard lock(mutex_);
    return opened_;
}

void LineScript::OnOpen()
{
    std::lock_guard lock(mutex_);
    ++opened_;
}

void LineScript::OnWrite(const std::uint8_t* data, std::size_t size)
{
    std::lock_guard lock(mutex_);
    written_.insert(written_.end(), data, data + size);
    // A command frame: 04 50 02 code ... 03 bcc. Single bytes are the host's ACK/NAK.
    if (size < 6 || data[0] != 0x04 || answers_.empty())
        return;
    const ScriptedAnswer answer = answers_.front();
    answers_.pop_front();
    if (answer.silent)
        return;
    input_.push_back(answer.acknowledgement);
    if (answer.acknowledgement != 0x06 || answer.mute)
        return;
    std::vector<std::uint8_t> frame{0x01, 0x50, 0x02, data[3]};
    frame.insert(frame.end(), answer.payload.begin(), answer.payload.end());
    frame.push_back(0x03);
    std::uint8_t bcc = 0;
    for (std::uint8_t byte : frame)
        bcc ^= byte;
    frame.push_back(bcc);
    if (answer.cutTo != 0 && answer.cutTo < frame.size())
        frame.resize(answer.cutTo);
    input_.insert(input_.end(), frame.begin(), frame.end());
}

std::size_t LineScript::OnRead(std::uint8_t* buffer, std::size_t size)
{
    std::unique_lock lock(mutex_);
    if (held_) {
        ++heldReads_;
        released_.notify_all();
        released_.wait(lock, [this] { return !held_; });
        --heldReads_;
    }
    const std::size_t count = std::min(size, input_.size());
    std::copy_n(input_.begin(), count, buffer);
    input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(count));
    return count;
}

ScriptedLine::ScriptedLine(LineScript& script) : SerialPort(kInvalidFile, "scripted"), script_(script)
{
    script_.OnOpen();
}

std::size_t ScriptedLine::Read(std::size_t* done, void* buffer, std::size_t size)
{
    const std::size_t got = script_.OnRead(static_cast<std::uint8_t*>(buffer), size);
    if (done != nullptr)
        *done = got;
    return got;
}

std::size_t ScriptedLine::Write(const void* data, std::size_t size)
{
    if (script_.FailsAcknowledgement(static_cast<const std::uint8_t*>(data), size))
        throw WindowsError(5, __FILE__, __LINE__);
    script_.OnWrite(static_cast<const std::uint8_t*>(data), size);
    return size;
}

std::unique_ptr<SerialPort> ScriptedPort::OpenLine(const std::string&)
{
    return std::make_unique<ScriptedLine>(script_);
}
