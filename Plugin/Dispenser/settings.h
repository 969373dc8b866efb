// The dispenser's settings and counters in the registry: the main key
// HKEY_LOCAL_MACHINE\Software\Orvane\Tallivox\Kiosk\Dispenser, its cassette
// subkeys "Cassette\1" and "Cassette\2", and "Reject".
//
// Nothing is cached: every read asks the registry, every write is made at once, so a
// counter written by one thread is seen by the next reader on any thread. A store
// opened read-only refuses every write with InternalError "Запись параметров
// диспенсера запрещена" before anything is written. Accessors are short-lived, used
// by one thread, and must not outlive the store they were built on.
//
// A store may carry a SettingsOverride: the values the control page edits on its main
// page. While attached, those values come from the record; everything else
// (denominations, counts, per-cassette and reject limits, the other flags) always
// comes from the registry.
#pragma once

#include "framework/registry.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// Flow-control modes of the serial line, as stored in "FlowControl".
enum FlowControlMode : std::int32_t {
    FlowControlNone = 1,
    FlowControlXonXoff = 2,
    FlowControlHardware = 3, // RTS/CTS
};

// The serial port record. A new record is cleared.
struct SerialPortSettings {
    bool inUse = false;
    std::string port;
    std::int32_t baudRate = 0;
    std::int32_t flowControl = 0; // a FlowControlMode
};

namespace DispenserControl {

// The registry path of the main key under HKEY_LOCAL_MACHINE.
extern const char* const kSettingsKey;

// Bits of the main "Flags".
constexpr std::uint32_t kAmountLimitFlag = 0x4;
// Bits of a cassette's "Flags".
constexpr std::uint32_t kCassetteInUse = 0x1;
constexpr std::uint32_t kCassetteCounted = 0x2;
constexpr std::uint32_t kMaxDispenseLimit = 0x4;
constexpr std::uint32_t kMinAmountLimit = 0x8;
// Bits of the reject bin's "Flags".
constexpr std::uint32_t kRejectCounted = 0x1;
constexpr std::uint32_t kRejectLimit = 0x4;

// What the control page edits, handed to the store in place of registry values.
struct SettingsOverride {
    bool enabled = false;
    bool debug = false;
    bool cassette1 = false;
    bool cassette2 = false;
    bool amountLimit = false;   // bit 2 of the main "Flags"
    bool rejectCounted = false; // bit 0 of the reject "Flags"
    std::string device;
    SerialPortSettings port;
    std::uint32_t maxAmount = 0; // roubles
};

// A change of a stored DWORD: gets the current value (nullopt when missing), returns the new one.
using DwordChange = std::function<std::uint32_t(std::optional<std::uint32_t>)>;

class Settings {
public:
    // Opens the main key: created with full access when writable, else read-only
    // (never created). `override` is borrowed and may be null.
    explicit Settings(bool writable, const SettingsOverride* override = nullptr);
    virtual ~Settings();
    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;

    bool IsWritable() const { return writable_; }
    const SettingsOverride* Override() const { return override_; }
    RegKey& Key() { return key_; }
    const RegKey& Key() const { return key_; }

    // Raises InternalError "Запись параметров диспенсера запрещена" on a read-only store.
    void CheckWritable() const;

    bool IsEnabled() const;
    bool IsDebug() const;
    std::string GetDevice() const;
    // 1 for "LCDM-1000", 2 for "LCDM-2000" (any letter case), else 0: the number of cassettes.
    int GetModel() const;
    static std::vector<std::string> SupportedDevices();
    SerialPortSettings GetPortSettings() const;

    void SetEnabled(bool on);
    void SetDebug(bool on);
    // Accepts only the two supported models; anything else raises OVAppException
    // "Устройство не поддерживается: " + name and writes nothing.
    void SetDevice(const std::string& name);
    void SetPortSettings(const SerialPortSettings& settings);

    std::uint32_t GetFlags() const;
    // Sets or clears the mask's bits of "Flags", leaving every other bit; returns the
    // new value. A mask of 0 returns the current value without a writability check.
    std::uint32_t SetFlag(std::uint32_t mask, bool on);

    // Reads, changes and writes one DWORD of `key` as a single step that no other
    // writer (thread or process) can come between; the one way counters change.
    std::uint32_t UpdateDword(RegKey& key, const std::string& name, const DwordChange& change);
    // SetFlag on any "Flags" value of this store's keys.
    std::uint32_t ChangeFlags(RegKey& key, std::uint32_t mask, bool on);

private:
    bool writable_;
    const SettingsOverride* override_;
    RegKey key_;
};

class Cassette {
public:
    // Opens "Cassette\1" or "Cassette\2" under the store's key (created with full
    // access on a writable store). Other numbers raise InvalidValue.
    Cassette(Settings& store, int number);
    virtual ~Cassette();

    Settings& Store() const { return store_; }
    int Number() const { return number_; }
    RegKey& Key() { return key_; }

    bool IsEnabled() const;
    std::uint32_t GetDenomination() const; // roubles; 0: not set
    std::uint32_t GetCount() const;        // notes
    bool IsCounted() const;
    std::uint32_t GetFlags() const;
    std::uint32_t SetFlag(std::uint32_t mask, bool on);
    void SetEnabled(bool on) { SetFlag(kCassetteInUse, on); }
    void SetCounted(bool on) { SetFlag(kCassetteCounted, on); }
    void SetDenomination(std::uint32_t value);
    void SetCount(std::uint32_t value);
    // Changes "Count" as one read-modify-write; returns the count written.
    std::uint32_t UpdateCount(const DwordChange& change);
    // "100 руб. * 250 шт.", "250 шт." or "" (denomination, then the tracked count).
    std::string Describe() const;

private:
    Settings& store_;
    int number_;
    RegKey key_;
};

class Reject {
public:
    explicit Reject(Settings& store);
    virtual ~Reject();

    Settings& Store() const { return store_; }
    RegKey& Key() { return key_; }

    bool IsCounted() const;
    std::uint32_t GetCount() const;
    void SetCount(std::uint32_t value);
    std::uint32_t UpdateCount(const DwordChange& change);
    void SetCounted(bool on) { SetFlag(kRejectCounted, on); }
    std::uint32_t GetFlags() const;
    std::uint32_t SetFlag(std::uint32_t mask, bool on);
    // The count as unsigned decimal followed by " шт.".
    std::string Describe() const;

private:
    Settings& store_;
    RegKey key_;
};

// "Max Dispense" (mask 4) or "Min Amount" (mask 8) of a cassette.
class CassetteLimit {
public:
    CassetteLimit(Cassette& cassette, std::uint32_t mask);
    virtual ~CassetteLimit();

    bool IsEnabled() const;
    std::uint32_t GetValue() const;
    void SetEnabled(bool on);
    void SetValue(std::uint32_t value);

private:
    Cassette& cassette_;
    std::uint32_t mask_;
    const char* name_;
};

// "Max Limit" of the reject bin.
class RejectLimit {
public:
    RejectLimit(Settings& store, Reject& reject);
    virtual ~RejectLimit();

    bool IsEnabled() const;
    std::uint32_t GetValue() const;
    void SetEnabled(bool on);
    void SetValue(std::uint32_t value);

private:
    Settings& store_;
    Reject& reject_;
};

// The maximum payout of one operation, in roubles ("Max", formerly "Max Change").
class AmountLimit {
public:
    explicit AmountLimit(Settings& store);
    virtual ~AmountLimit();

    bool IsEnabled() const;
    std::uint32_t GetValue() const;
    void SetEnabled(bool on);
    void SetValue(std::uint32_t amount);

private:
    Settings& store_;
};

} // namespace DispenserControl
