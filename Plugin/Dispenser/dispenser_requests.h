// The five dispenser commands: firmware version, status, purge, test reject and
// dispense. Each fixes its command bytes and response length and decodes the answer
// into one value, its Result; results are read under the request's lock, after the
// request reached state 2.
#pragma once

#include "Plugin/Dispenser/dispenser_query.h"

#include <cstdint>
#include <mutex>
#include <string>

// What the five requests share: the decoded answer, written by Interpret() on the
// request's thread under the request's lock (DispenserQuery::Execute holds it) and
// copied out under that lock. No wait for the thread here: the thread calls the
// concrete request's Interpret() until it ends, so each concrete request's own
// destructor waits first, before its members and its virtual functions go.
template <class Answer>
class DispenserRequest : public DispenserQuery {
public:
    using Result = Answer;
    using DispenserQuery::DispenserQuery;

    // A copy of the whole decoded answer.
    Result Results() { return Locked(result_); }

protected:
    // A copy of `value`, a part of result_, taken under the request's lock.
    template <class T>
    T Locked(const T& value)
    {
        std::lock_guard lock(ResultLock());
        return value;
    }

    Result result_;
};

struct RomVersionResult {
    std::string version;
};

// 0x47: the firmware version, the first four payload bytes as text.
class DispenserQuery_RomVersion : public DispenserRequest<RomVersionResult> {
public:
    explicit DispenserQuery_RomVersion(DispenserPort& port);
    ~DispenserQuery_RomVersion() override { WaitForEnd(); }

    std::string GetVersion() { return Locked(result_.version); }

protected:
    bool Interpret() override;
};

struct StatusResult {
    std::uint8_t error = 0;
    std::uint8_t sensorsA = 0;
    std::uint8_t sensorsB = 0;
    std::string errorText;
    std::string sensorsAText;
    std::string sensorsBText;
};

// 0x46: the error code and the two sensor bytes with their texts.
class DispenserQuery_Status : public DispenserRequest<StatusResult> {
public:
    // `isLcdm2000` chooses the sensor layout of byte B.
    DispenserQuery_Status(DispenserPort& port, bool isLcdm2000);
    ~DispenserQuery_Status() override { WaitForEnd(); }

    // No sensor reports a fault (the error code is judged separately).
    bool SensorsHealthy();
    std::uint8_t ErrorCode() { return Locked(result_.error); }
    std::uint8_t SensorsA() { return Locked(result_.sensorsA); }
    std::uint8_t SensorsB() { return Locked(result_.sensorsB); }
    std::string ErrorDescription() { return Locked(result_.errorText); }
    std::string SensorsAText() { return Locked(result_.sensorsAText); }
    std::string SensorsBText() { return Locked(result_.sensorsBText); }

protected:
    bool Interpret() override;

private:
    const bool isLcdm2000_;
};

struct PurgeResult {
    std::uint8_t error = 0;
    std::string errorText;
};

// 0x44: purge of the transport path; the error code tells the outcome.
class DispenserQuery_Purge : public DispenserRequest<PurgeResult> {
public:
    explicit DispenserQuery_Purge(DispenserPort& port);
    ~DispenserQuery_Purge() override { WaitForEnd(); }

    std::uint8_t ErrorCode() { return Locked(result_.error); }
    std::string ErrorDescription() { return Locked(result_.errorText); }

protected:
    bool Interpret() override;
};

struct TestRejectResult {
    std::uint8_t checked = 0; // notes past the check sensors
    std::uint8_t exited = 0;  // notes through the exit (none, for a device that works)
    std::uint8_t rejected = 0;
    std::uint8_t error = 0;
    std::uint8_t status = 0;
    std::string errorText;
    std::string statusText;
};

// 0x76 / 0x77: one note of the upper / lower cassette into the reject bin.
class DispenserQuery_TestReject : public DispenserRequest<TestRejectResult> {
public:
    DispenserQuery_TestReject(DispenserPort& port, bool lowerCassette);
    ~DispenserQuery_TestReject() override { WaitForEnd(); }
    bool MovesNotes() const override { return true; }

    unsigned RequestedCount() const { return 1; }
    bool IsLowerCassette() const { return lowerCassette_; }
    unsigned RejectedCount() { return Locked(result_.rejected); }
    unsigned CheckedCount() { return Locked(result_.checked); }
    unsigned ExitedCount() { return Locked(result_.exited); }
    std::uint8_t ErrorCode() { return Locked(result_.error); }
    std::uint8_t Status() { return Locked(result_.status); }
    std::string ErrorDescription() { return Locked(result_.errorText); }
    std::string StatusText() { return Locked(result_.statusText); }

protected:
    bool Interpret() override;

private:
    const bool lowerCassette_;
};

struct DispenseResult {
    struct CassetteResult {
        std::uint8_t requested = 0;
        std::uint8_t checked = 0; // notes that passed the check sensors ("atCHK")
        std::uint8_t exited = 0;  // notes that left through the exit ("atEXIT")
        std::uint8_t rejected = 0;
        std::uint8_t status = 0; // '0' enough notes, else near end
        std::string statusText;
    };
    CassetteResult cassettes[2]; // upper, lower
    std::uint8_t error = 0;
    std::string errorText;
};

// 0x45 (upper cassette only) or 0x56 (both cassettes): pays notes out.
class DispenserQuery_Dispense : public DispenserRequest<DispenseResult> {
public:
    // Counts of 0 to 60 notes. A count above 60 raises InternalError; a lower count
    // on a device other than the LCDM-2000 raises OVAppException "Устройство не
    // поддерживает вторую/нижнюю кассету". No request exists then.
    DispenserQuery_Dispense(DispenserPort& port, unsigned upperCount, unsigned lowerCount);
    ~DispenserQuery_Dispense() override { WaitForEnd(); }
    bool MovesNotes() const override { return true; }

    using CassetteResult = DispenseResult::CassetteResult;
    // Per cassette (1 upper, 2 lower).
    CassetteResult Cassette(int number) { return Locked(result_.cassettes[number == 2 ? 1 : 0]); }
    std::uint8_t ErrorCode() { return Locked(result_.error); }
    std::string ErrorDescription() { return Locked(result_.errorText); }
    bool IsTwoCassette() const { return twoCassette_; }

    // The text of a cassette status byte.
    static std::string StatusText(std::uint8_t status);

protected:
    bool Interpret() override;

private:
    const bool twoCassette_;
};
