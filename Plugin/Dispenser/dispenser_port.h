// DispenserPort: the dispenser's port, which knows where to report errors and which
// settings store describes the serial line, and performs one framed exchange with the
// device at a time.
//
// The COM port is not held open between exchanges: every exchange opens it,
// configures it from the settings store and the registry, talks to the device and
// closes it. A scenario builds one DispenserPort per operation and hands it to the
// device requests, which take the lock for the time of one request.
#pragma once

#include "Plugin/Dispenser/device_port.h"
#include "framework/app_log.h"
#include "framework/registry.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace MTSys {
class Event;
}

namespace DispenserControl {
class Settings;
}

class SerialPort;
struct SerialTimeouts;

class DispenserPort : public DevicePort {
public:
    // All borrowed: the trace log and the error list may be null; the settings store
    // (normally read-only) must outlive the port.
    DispenserPort(AppLog* log, std::vector<std::string>* errors, const DispenserControl::Settings* settings);
    ~DispenserPort() override;

    const DispenserControl::Settings* Settings() const { return settings_; }
    std::vector<std::string>* Errors() const { return errors_; }

    // One complete exchange for one command (its code first): frame, acknowledgement,
    // response frame of response.size() payload bytes, retries. True when a
    // well-formed response was acknowledged; its payload is then in `response`. The
    // abort event is polled before every send, response attempt and header read.
    // Operating-system failures opening or configuring the line raise WindowsError.
    // Runs on the calling thread (a request's thread) and blocks until done.
    //
    // With `finishOnceAcknowledged` (commands that move notes), an abort that comes
    // after the device acknowledged the command no longer ends the exchange: the
    // answer is still awaited, because it tells which notes left the machine, but
    // for at most kAnswerAfterAbort (and never past the response time-out).
    bool Exchange(const MTSys::Event& abortEvent, const std::vector<std::uint8_t>& command,
                  std::vector<std::uint8_t>& response, bool finishOnceAcknowledged = false);

    // Whether the last exchange's command may have reached the device and been carried
    // out: it was acknowledged, or answered with a byte that may have been a damaged
    // acknowledgement. Set before anything that may fail after it.
    bool CommandAcknowledged() const { return acknowledged_.load(); }

    // The longest wait for the answer to an acknowledged note-moving command once the
    // exchange was aborted, in milliseconds.
    static constexpr std::uint32_t kAnswerAfterAbort = 2 * 60 * 1000;
    // The longest "DeviceResponseTimeout" honoured, in milliseconds.
    static constexpr std::uint32_t kLongestResponseTimeout = 10 * 60 * 1000;

    // Traces "DispenserPort: <text>" as an error and appends the text to the error list.
    void ReportError(const std::string& text);

    // "COM10" -> "\\.\COM10": COM names of two or more digits need the device prefix.
    static std::string NormalisePortName(const std::string& name);

protected:
    // Opens the serial line; tests may stand in a line of their own.
    virtual std::unique_ptr<SerialPort> OpenLine(const std::string& name);

    // The wait for a note-moving answer after an abort; tests shorten it.
    std::uint32_t answerAfterAbort_ = kAnswerAfterAbort;

private:
    std::unique_ptr<SerialPort> OpenConfiguredLine(const RegKey& key, bool& busy);
    SerialTimeouts ReadTimeouts(const RegKey& key);
    bool SendCommand(SerialPort& line, const RegKey& key, const MTSys::Event& abortEvent,
                     const std::vector<std::uint8_t>& command, std::vector<std::uint8_t>& response,
                     bool finishOnceAcknowledged);
    bool ReceiveResponse(SerialPort& line, const RegKey& key, const MTSys::Event& abortEvent,
                         bool finishOnceAcknowledged, std::uint8_t commandCode, std::vector<std::uint8_t>& response);
    std::uint32_t ResponseTimeout(const RegKey& key);
    void Trace(int category, const char* format, ...) ORVANE_PRINTF(3, 4);
    // `endsExchange`: the acknowledgement after which the exchange is over.
    void WriteBytes(SerialPort& line, const std::vector<std::uint8_t>& bytes, bool endsExchange = false);

    std::vector<std::string>* errors_;
    const DispenserControl::Settings* settings_;
    std::atomic<bool> acknowledged_{false};
};
