// DispenserQuery: the common base of the dispenser's requests. It takes the sole use
// of the port when initiated, runs one link exchange on the request's thread with the
// request's command bytes, lets the concrete request interpret the answer, and turns
// every failure, exceptions included, into a final state plus a Russian text in the
// port's error list. It also knows the device's error codes and sensor names.
#pragma once

#include "Plugin/Dispenser/dispenser_port.h"
#include "Plugin/Dispenser/query.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class DispenserQuery : public QueryThread {
public:
    // `port` is borrowed and must outlive the request; the response is `responseLength` bytes.
    DispenserQuery(DispenserPort& port, std::size_t responseLength);
    // Waits for the request's thread, then releases the port.
    ~DispenserQuery() override;

    // Takes the port's lock and starts the thread; state 4 and false, with no thread,
    // when another request holds the port. A second call sets state 5 and raises
    // InternalError "DispenserQuery internal error: repeated Initiate (file:line)".
    bool Initiate(WindowHandle window, unsigned message) override;

    const std::vector<std::uint8_t>& Command() const { return command_; }

    // Whether the command moves notes: then the device's answer is read once the
    // command was acknowledged, also when the request is cancelled meanwhile.
    virtual bool MovesNotes() const { return false; }

    // After the request's end: whether its command may have been carried out by the
    // device (acknowledged, or answered with what may have been a damaged
    // acknowledgement), whatever became of the answer.
    bool CommandMayHaveRun() const { return mayHaveRun_.load(); }

    // The text of a device error code, "неизвестный код" for a code without one.
    static std::string ErrorText(std::uint8_t code);
    // The names of the set bits 0 to 6 of a sensor byte joined with ", ", or "Ok".
    static std::string SensorText(std::uint8_t sensors, const char* const names[7]);

    static const char* const kSensorNamesA[7];
    static const char* const kSensorNamesB2000[7];

protected:
    std::int32_t Run() override;
    std::int32_t Execute() override;
    // Decodes the response into the request's results; false when it is not a valid
    // answer. Runs on the request's thread under the request's lock.
    virtual bool Interpret() = 0;

    DispenserPort& Port() const { return port_; }
    AppLog* Log() const { return port_.Log(); }
    const std::vector<std::uint8_t>& Response() const { return response_; }
    std::vector<std::uint8_t>& CommandBytes() { return command_; }
    void SetResponseLength(std::size_t length) { response_.assign(length, 0); }
    // Results are read by other threads under this lock.
    std::recursive_mutex& ResultLock() { return lock_; }

private:
    void AddError(const std::string& text);

    DispenserPort& port_;
    std::unique_ptr<DevicePort::Lock> portLock_;
    std::vector<std::uint8_t> command_;
    std::vector<std::uint8_t> response_;
    std::atomic<bool> mayHaveRun_{false};
};
