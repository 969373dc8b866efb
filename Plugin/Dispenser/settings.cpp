#include "Plugin/Dispenser/settings.h"

#include "framework/exceptions.h"
#include "framework/text_format.h"
#include "framework/text_utils.h"

namespace DispenserControl {

const char* const kSettingsKey = "Software\\Orvane\\Tallivox\\Kiosk\\Dispenser";

namespace {

constexpr const char* kModels[] = {"LCDM-1000", "LCDM-2000"};
constexpr std::uint32_t kDefaultBaudRate = 9600;

unsigned AccessOf(bool writable)
{
    return writable ? RegAccessAll : RegAccessRead;
}

std::string CassetteKeyName(int number)
{
    if (number != 1 && number != 2)
        throw InvalidValue(FormatText("Неверный номер кассеты: %d", number));
    return FormatText("Cassette\\%d", number);
}

bool HasBits(std::uint32_t flags, std::uint32_t mask)
{
    return (flags & mask) != 0;
}

} // namespace

Settings::Settings(bool writable, const SettingsOverride* override)
    : writable_(writable),
      override_(override),
      key_(RegistryRoot::LocalMachine, kSettingsKey, writable, AccessOf(writable))
{
}

Settings::~Settings() = default;

void Settings::CheckWritable() const
{
    if (!writable_)
        throw InternalError("Запись параметров диспенсера запрещена");
}

bool Settings::IsEnabled() const
{
    if (override_ != nullptr)
        return override_->enabled;
    return key_.ReadDword("Disabled") == 0;
}

bool Settings::IsDebug() const
{
    if (override_ != nullptr)
        return override_->debug;
    return key_.ReadDword("Debug") != 0;
}

std::string Settings::GetDevice() const
{
    if (override_ != nullptr)
        return override_->device;
    return key_.ReadString("Device");
}

int Settings::GetModel() const
{
    const std::string device = GetDevice();
    for (int model = 1; model <= 2; ++model) {
        if (EqualsNoCase(device, kModels[model - 1]))
            return model;
    }
    return 0;
}

std::vector<std::string> Settings::SupportedDevices()
{
    return {std::begin(kModels), std::end(kModels)};
}

SerialPortSettings Settings::GetPortSettings() const
{
    if (override_ != nullptr)
        return override_->port;
    SerialPortSettings settings;
    // The port is in use only when "Off" exists and is 0.
    settings.inUse = key_.HasValue("Off") && key_.ReadDword("Off") == 0;
    settings.port = key_.ReadString("Port");
    settings.baudRate = static_cast<std::int32_t>(key_.ReadDword("BaudRate", kDefaultBaudRate));
    settings.flowControl = static_cast<std::int32_t>(key_.ReadDword("FlowControl", FlowControlNone));
    return settings;
}

void Settings::SetEnabled(bool on)
{
    CheckWritable();
    key_["Disabled"] = on ? 0 : 1;
}

void Settings::SetDebug(bool on)
{
    CheckWritable();
    key_["Debug"] = on ? 1 : 0;
}

void Settings::SetDevice(const std::string& name)
{
    CheckWritable();
    bool supported = false;
    for (const char* model : kModels)
        supported = supported || EqualsNoCase(name, model);
    if (!supported)
        throw OVAppException("Устройство не поддерживается: " + name);
    key_["Device"] = name;
}

void Settings::SetPortSettings(const SerialPortSettings& settings)
{
    CheckWritable();
    key_["Off"] = settings.inUse ? 0 : 1;
    key_["Port"] = settings.port;
    key_["BaudRate"] = settings.baudRate;
    key_["FlowControl"] = settings.flowControl;
}

std::uint32_t Settings::GetFlags() const
{
    return key_.ReadDword("Flags");
}

std::uint32_t Settings::SetFlag(std::uint32_t mask, bool on)
{
    return ChangeFlags(key_, mask, on);
}

std::uint32_t Settings::UpdateDword(RegKey& key, const std::string& name, const DwordChange& change)
{
    CheckWritable();
    return key.UpdateDword(name, change);
}

std::uint32_t Settings::ChangeFlags(RegKey& key, std::uint32_t mask, bool on)
{
    // A mask of 0 only reads: no writability test, nothing written.
    if (mask == 0)
        return key.ReadDword("Flags");
    return UpdateDword(key, "Flags", [mask, on](std::optional<std::uint32_t> flags) {
        const std::uint32_t current = flags.value_or(0);
        return on ? (current | mask) : (current & ~mask);
    });
}

Cassette::Cassette(Settings& store, int number)
    : store_(store),
      number_(number),
      key_(store.Key(), CassetteKeyName(number), store.IsWritable(), AccessOf(store.IsWritable()))
{
}

Cassette::~Cassette() = default;

bool Cassette::IsEnabled() const
{
    if (const SettingsOverride* override = store_.Override())
        return number_ == 1 ? override->cassette1 : override->cassette2;
    return HasBits(GetFlags(), kCassetteInUse);
}

std::uint32_t Cassette::GetDenomination() const
{
    return key_.ReadDword("Denomination");
}

std::uint32_t Cassette::GetCount() const
{
    return key_.ReadDword("Count");
}

bool Cassette::IsCounted() const
{
    return HasBits(GetFlags(), kCassetteCounted);
}

std::uint32_t Cassette::GetFlags() const
{
    return key_.ReadDword("Flags");
}

std::uint32_t Cassette::SetFlag(std::uint32_t mask, bool on)
{
    return store_.ChangeFlags(key_, mask, on);
}

void Cassette::SetDenomination(std::uint32_t value)
{
    store_.CheckWritable();
    key_["Denomination"] = value;
}

void Cassette::SetCount(std::uint32_t value)
{
    store_.CheckWritable();
    key_["Count"] = value;
}

std::uint32_t Cassette::UpdateCount(const DwordChange& change)
{
    return store_.UpdateDword(key_, "Count", change);
}

std::string Cassette::Describe() const
{
    std::string text;
    if (const std::uint32_t denomination = GetDenomination(); denomination != 0)
        text = FormatText("%u руб.", static_cast<unsigned>(denomination));
    if (IsCounted()) {
        if (!text.empty())
            text += " * ";
        text += FormatText("%u шт.", static_cast<unsigned>(GetCount()));
    }
    return text;
}

Reject::Reject(Settings& store)
    : store_(store), key_(store.Key(), "Reject", store.IsWritable(), AccessOf(store.IsWritable()))
{
}

Reject::~Reject() = default;

bool Reject::IsCounted() const
{
    if (const SettingsOverride* override = store_.Override())
        return override->rejectCounted;
    return HasBits(GetFlags(), kRejectCounted);
}

std::uint32_t Reject::GetCount() const
{
    return key_.ReadDword("Count");
}

void Reject::SetCount(std::uint32_t value)
{
    store_.CheckWritable();
    key_["Count"] = value;
}

std::uint32_t Reject::UpdateCount(const DwordChange& change)
{
    return store_.UpdateDword(key_, "Count", change);
}

std::uint32_t Reject::GetFlags() const
{
    return key_.ReadDword("Flags");
}

std::uint32_t Reject::SetFlag(std::uint32_t mask, bool on)
{
    return store_.ChangeFlags(key_, mask, on);
}

std::string Reject::Describe() const
{
    return FormatText("%u шт.", static_cast<unsigned>(GetCount()));
}

CassetteLimit::CassetteLimit(Cassette& cassette, std::uint32_t mask)
    : cassette_(cassette), mask_(mask), name_(mask == kMinAmountLimit ? "Min Amount" : "Max Dispense")
{
    if (mask != kMaxDispenseLimit && mask != kMinAmountLimit)
        throw InvalidValue(FormatText("Неверный признак ограничения кассеты: %u", static_cast<unsigned>(mask)));
}

CassetteLimit::~CassetteLimit() = default;

bool CassetteLimit::IsEnabled() const
{
    return HasBits(cassette_.GetFlags(), mask_);
}

std::uint32_t CassetteLimit::GetValue() const
{
    return cassette_.Key().ReadDword(name_);
}

void CassetteLimit::SetEnabled(bool on)
{
    cassette_.SetFlag(mask_, on);
}

void CassetteLimit::SetValue(std::uint32_t value)
{
    cassette_.Store().CheckWritable();
    cassette_.Key()[name_] = value;
}

RejectLimit::RejectLimit(Settings& store, Reject& reject) : store_(store), reject_(reject) {}

RejectLimit::~RejectLimit() = default;

bool RejectLimit::IsEnabled() const
{
    return HasBits(reject_.GetFlags(), kRejectLimit);
}

std::uint32_t RejectLimit::GetValue() const
{
    return reject_.Key().ReadDword("Max Limit");
}

void RejectLimit::SetEnabled(bool on)
{
    reject_.SetFlag(kRejectLimit, on);
}

void RejectLimit::SetValue(std::uint32_t value)
{
    store_.CheckWritable();
    reject_.Key()["Max Limit"] = value;
}

AmountLimit::AmountLimit(Settings& store) : store_(store) {}

AmountLimit::~AmountLimit() = default;

bool AmountLimit::IsEnabled() const
{
    if (const SettingsOverride* override = store_.Override())
        return override->amountLimit;
    return HasBits(store_.GetFlags(), kAmountLimitFlag);
}

std::uint32_t AmountLimit::GetValue() const
{
    if (const SettingsOverride* override = store_.Override())
        return override->maxAmount;
    const RegKey& key = store_.Key();
    // "Max Change" is the older name, read only when "Max" does not exist.
    return key.HasValue("Max") ? key.ReadDword("Max") : key.ReadDword("Max Change");
}

void AmountLimit::SetEnabled(bool on)
{
    store_.SetFlag(kAmountLimitFlag, on);
}

void AmountLimit::SetValue(std::uint32_t amount)
{
    store_.CheckWritable();
    store_.Key()["Max"] = amount;
    store_.Key()["Max Change"] = amount;
}

} // namespace DispenserControl
