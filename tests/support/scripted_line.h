// A serial line played by the test: each command frame the host writes is answered
// from a script (an acknowledgement byte and a response payload), framed and
// checksummed here, independently of the plug-in's own framing. Reads can be held
// back to keep a request running while a test looks at it.
#pragma once

#include "Plugin/Dispenser/dispenser_port.h"
#include "Plugin/Dispenser/serial_port.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

struct ScriptedAnswer {
    std::uint8_t acknowledgement = 0x06;
    std::vector<std::uint8_t> payload; // framed with the echo of the command code
    bool silent = false;               // not even the acknowledgement comes
    bool mute = false;                 // acknowledged, and no response follows
    std::size_t cutTo = 0;             // when set, the response frame stops after this many bytes
};

class LineScript {
public:
    void Answer(ScriptedAnswer answer);
    // Reads wait until Release() (for tests that need a request to stay running).
    void Hold();
    void Release();
    // Waits until a read is held back (the request is inside its exchange).
    bool WaitForHeldRead(int milliseconds);
    // The host's writes of a lone ACK fail as a broken line's would.
    void FailAcknowledgementWrites() { failAcknowledgements_ = true; }
    bool FailsAcknowledgement(const std::uint8_t* data, std::size_t size) const
    {
        return failAcknowledgements_ && size == 1 && data[0] == 0x06;
    }

    // Every byte the host wrote.
    std::vector<std::uint8_t> Written() const;
    int Opened() const;

    // The line's side.
    void OnOpen();
    void OnWrite(const std::uint8_t* data, std::size_t size);
    std::size_t OnRead(std::uint8_t* buffer, std::size_t size);

private:
    mutable std::mutex mutex_;
    std::condition_variable released_;
    bool held_ = false;
    int heldReads_ = 0;
    int opened_ = 0;
    std::deque<ScriptedAnswer> answers_;
    std::deque<std::uint8_t> input_;
    std::vector<std::uint8_t> written_;
    std::atomic<bool> failAcknowledgements_{false};
};

class ScriptedLine final : public SerialPort {
public:
    explicit ScriptedLine(LineScript& script);
    void Configure(const SerialLineFormat&, const SerialTimeouts&) override {}
    void DiscardInput() override {}
    std::size_t Read(std::size_t* done, void* buffer, std::size_t size) override;
    std::size_t Write(const void* data, std::size_t size) override;

private:
    LineScript& script_;
};

// A dispenser port whose line is the script.
class ScriptedPort : public DispenserPort {
public:
    ScriptedPort(LineScript& script, AppLog* log, std::vector<std::string>* errors,
                 DispenserControl::Settings* settings)
        : DispenserPort(log, errors, settings), script_(script)
    {
    }

    // How long a note-moving answer is still awaited after a cancel.
    void ShortenAnswerAfterAbort(std::uint32_t milliseconds) { answerAfterAbort_ = milliseconds; }

protected:
    std::unique_ptr<SerialPort> OpenLine(const std::string&) override;

private:
    LineScript& script_;
};
