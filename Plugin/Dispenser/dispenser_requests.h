// The five dispenser commands: firmware version, status, purge, test reject and
// dispense. Each fixes its command bytes and response length and decodes the answer;
// results are read under the request's lock, after the request reached state 2.
#pragma once

#include "Plugin/Dispenser/dispenser_query.h"

#include <cstdint>
#include <string>

// 0x47: the firmware version, the first four payload bytes as text.
class DispenserQuery_RomVersion : public DispenserQuery {
public:
    explicit DispenserQuery_RomVersion(DispenserPort& port);
    ~DispenserQuery_RomVersion() override;
    std::string GetVersion();

protected:
    bool Interpret() override;

private:
    std::string version_;
};

// 0x46: the error code and the two sensor bytes with their texts.
class DispenserQuery_Status : public DispenserQuery {
public:
    // `isLcdm2000` chooses the sensor layout of byte B.
    DispenserQuery_Status(DispenserPort& port, bool isLcdm2000);
    ~DispenserQuery_Status() override;

    // No sensor reports a fault (the error code is judged separately).
    bool SensorsHealthy();
    std::uint8_t ErrorCode();
    std::uint8_t SensorsA();
    std::uint8_t SensorsB();
    std::string ErrorDescription();
    std::string SensorsAText();
    std::string SensorsBText();

protected:
    bool Interpret() override;

private:
    bool isLcdm2000_;
    std::uint8_t error_ = 0;
    std::uint8_t sensorsA_ = 0;
    std::uint8_t sensorsB_ = 0;
    std::string errorText_;
    std::string sensorsAText_;
    std::string sensorsBText_;
};

// 0x44: purge of the transport path; the error code tells the outcome.
class DispenserQuery_Purge : public DispenserQuery {
public:
    explicit DispenserQuery_Purge(DispenserPort& port);
    ~DispenserQuery_Purge() override;
    std::uint8_t ErrorCode();
    std::string ErrorDescription();

protected:
    bool Interpret() override;

private:
    std::uint8_t error_ = 0;
    std::string errorText_;
};

// 0x76 / 0x77: one note of the upper / lower cassette into the reject bin.
class DispenserQuery_TestReject : public DispenserQuery {
public:
    DispenserQuery_TestReject(DispenserPort& port, bool lowerCassette);
    ~DispenserQuery_TestReject() override;
    bool MovesNotes() const override { return true; }

    unsigned RequestedCount() const { return 1; }
    bool IsLowerCassette() const { return lowerCassette_; }
    unsigned RejectedCount();
    std::uint8_t ErrorCode();
    std::uint8_t Status();
    std::string ErrorDescription();
    std::string StatusText();

protected:
    bool Interpret() override;

private:
    bool lowerCassette_;
    std::uint8_t rejected_ = 0;
    std::uint8_t error_ = 0;
    std::uint8_t status_ = 0;
    std::string errorText_;
    std::string statusText_;
};

// 0x45 (upper cassette only) or 0x56 (both cassettes): pays notes out.
class DispenserQuery_Dispense : public DispenserQuery {
public:
    // Counts of 0 to 60 notes. A count above 60 raises InternalError; a lower count
    // on a device other than the LCDM-2000 raises OVAppException "Устройство не
    // поддерживает вторую/нижнюю кассету". No request exists then.
    DispenserQuery_Dispense(DispenserPort& port, unsigned upperCount, unsigned lowerCount);
    ~DispenserQuery_Dispense() override;
    bool MovesNotes() const override { return true; }

    // Per cassette (1 upper, 2 lower).
    struct CassetteResult {
        std::uint8_t requested = 0;
        std::uint8_t checked = 0;  // notes that passed the check sensors ("atCHK")
        std::uint8_t exited = 0;   // notes that left through the exit ("atEXIT")
        std::uint8_t rejected = 0;
        std::uint8_t status = 0;   // '0' enough notes, else near end
        std::string statusText;
    };
    CassetteResult Cassette(int number);
    std::uint8_t ErrorCode();
    std::string ErrorDescription();
    bool IsTwoCassette() const { return twoCassette_; }

    // The text of a cassette status byte.
    static std::string StatusText(std::uint8_t status);

protected:
    bool Interpret() override;

private:
    bool twoCassette_;
    CassetteResult cassettes_[2];
    std::uint8_t error_ = 0;
    std::string errorText_;
};
