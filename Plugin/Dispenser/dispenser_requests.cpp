#include "Plugin/Dispenser/dispenser_requests.h"

#include "Plugin/Dispenser/settings.h"
#include "framework/exceptions.h"
#include "framework/text_format.h"
#include "framework/text_utils.h"

namespace {

constexpr std::uint8_t kRomVersion = 0x47;
constexpr std::uint8_t kStatus = 0x46;
constexpr std::uint8_t kPurge = 0x44;
constexpr std::uint8_t kTestRejectUpper = 0x76;
constexpr std::uint8_t kTestRejectLower = 0x77;
constexpr std::uint8_t kDispenseUpper = 0x45;
constexpr std::uint8_t kDispenseBoth = 0x56;
constexpr unsigned kMaxNotesPerCommand = 60;
// Notes past the check sensors include the rejected ones that the device replaced, so
// 60 notes with their rejects count past 69: any two digits are a count. (Refusing
// the answer would leave notes that left the machine uncounted.)
constexpr char kMaxCheckedTens = '9';

bool InRange(std::uint8_t byte, char low, char high)
{
    return byte >= static_cast<std::uint8_t>(low) && byte <= static_cast<std::uint8_t>(high);
}

std::uint8_t TwoDigits(std::uint8_t tens, std::uint8_t units)
{
    return static_cast<std::uint8_t>((tens - '0') * 10 + (units - '0'));
}

// A count field: tens digit within '0'..maxTens, units digit '0'..'9'.
bool CountField(const std::vector<std::uint8_t>& p, std::size_t at, char maxTens)
{
    return InRange(p[at], '0', maxTens) && InRange(p[at + 1], '0', '9');
}

void AppendDigits(std::vector<std::uint8_t>& command, unsigned count)
{
    command.push_back(static_cast<std::uint8_t>('0' + count / 10));
    command.push_back(static_cast<std::uint8_t>('0' + count % 10));
}

} // namespace

DispenserQuery_RomVersion::DispenserQuery_RomVersion(DispenserPort& port) : DispenserRequest(port, 8)
{
    CommandBytes().push_back(kRomVersion);
}

bool DispenserQuery_RomVersion::Interpret()
{
    const auto& p = Response();
    if (p.size() < 4)
        return false;
    result_.version.assign(p.begin(), p.begin() + 4);
    return true;
}

DispenserQuery_Status::DispenserQuery_Status(DispenserPort& port, bool isLcdm2000)
    : DispenserRequest(port, 4), isLcdm2000_(isLcdm2000)
{
    CommandBytes().push_back(kStatus);
}

bool DispenserQuery_Status::Interpret()
{
    const auto& p = Response();
    StatusResult& r = result_;
    if (p[0] != 0x30)
        return false;
    // Stored before the checks: an invalid answer still leaves them set.
    r.error = p[1];
    r.sensorsA = p[2];
    r.sensorsB = p[3];
    if ((r.sensorsA & 0x80) == 0)
        return false;
    if (isLcdm2000_) {
        r.sensorsBText = SensorText(r.sensorsB, kSensorNamesB2000);
    } else {
        if ((r.sensorsB & 0x80) == 0)
            return false;
        r.sensorsBText = (r.sensorsB & 0x01) != 0 ? "No Reject tray" : "Reject tray is on";
        if ((r.sensorsB & 0x02) != 0)
            r.sensorsBText += ", CASSETTE SENSOR";
        if ((r.sensorsB & 0x04) != 0)
            r.sensorsBText += ", SOL SENSOR";
    }
    r.sensorsAText = SensorText(r.sensorsA, kSensorNamesA);
    r.errorText = ErrorText(r.error);
    return true;
}

bool DispenserQuery_Status::SensorsHealthy()
{
    const StatusResult r = Results();
    if (r.sensorsA != 0x80)
        return false;
    return isLcdm2000_ ? (r.sensorsB & 0x7F) == 0 : (r.sensorsB & 0x87) == 0x80;
}

DispenserQuery_Purge::DispenserQuery_Purge(DispenserPort& port) : DispenserRequest(port, 1)
{
    CommandBytes().push_back(kPurge);
}

bool DispenserQuery_Purge::Interpret()
{
    result_.error = Response()[0];
    result_.errorText = ErrorText(result_.error);
    return true;
}

DispenserQuery_TestReject::DispenserQuery_TestReject(DispenserPort& port, bool lowerCassette)
    : DispenserRequest(port, 8), lowerCassette_(lowerCassette)
{
    CommandBytes().push_back(lowerCassette ? kTestRejectLower : kTestRejectUpper);
}

bool DispenserQuery_TestReject::Interpret()
{
    const auto& p = Response();
    // The fields of a one-cassette dispense answer, checked alike: notes that the device
    // says moved are counted, whatever the scenario then makes of them.
    const bool valid = CountField(p, 0, kMaxCheckedTens) && CountField(p, 2, '6') && InRange(p[5], '0', '1') &&
                       InRange(p[6], '0', '9') && InRange(p[7], '0', '9');
    if (!valid)
        return false;
    TestRejectResult& r = result_;
    r.checked = TwoDigits(p[0], p[1]);
    r.exited = TwoDigits(p[2], p[3]);
    r.rejected = TwoDigits(p[6], p[7]);
    r.error = p[4];
    r.errorText = ErrorText(r.error);
    r.status = p[5];
    r.statusText = DispenserQuery_Dispense::StatusText(r.status);
    if (AppLog* log = Log())
        log->Write(AppLog::Info,
                   "DispenserQuery_TestReject: результат запроса на выдачу в брак %u купюр: rejected:%u, error: %02X "
                   "(\"%s\"), status:%02X (\"%s\")",
                   RequestedCount(), static_cast<unsigned>(r.rejected), static_cast<unsigned>(r.error),
                   r.errorText.c_str(), static_cast<unsigned>(r.status), r.statusText.c_str());
    return true;
}

DispenserQuery_Dispense::DispenserQuery_Dispense(DispenserPort& port, unsigned upperCount, unsigned lowerCount)
    : DispenserRequest(port, 8), twoCassette_(lowerCount != 0)
{
    if (upperCount > kMaxNotesPerCommand)
        throw InternalError(FormatBuffer(4096,
                                         "DispenserQuery: указанное количество купюр для кассеты #1 (%u) не "
                                         "соответствует протоколу устройства (%s:%i)",
                                         upperCount, __FILE_NAME__, __LINE__));
    if (twoCassette_) {
        if (!EqualsNoCase(port.Settings()->GetDevice(), "LCDM-2000"))
            throw OVAppException("Устройство не поддерживает вторую/нижнюю кассету");
        if (lowerCount > kMaxNotesPerCommand)
            throw InternalError(FormatBuffer(4096,
                                             "DispenserQuery: указанное количество купюр для кассеты #2 (%u) не "
                                             "соответствует протоколу устройства (%s:%i)",
                                             lowerCount, __FILE_NAME__, __LINE__));
    }
    result_.cassettes[0].requested = static_cast<std::uint8_t>(upperCount);
    result_.cassettes[1].requested = static_cast<std::uint8_t>(lowerCount);
    std::vector<std::uint8_t>& command = CommandBytes();
    command.push_back(twoCassette_ ? kDispenseBoth : kDispenseUpper);
    AppendDigits(command, upperCount);
    if (twoCassette_) {
        AppendDigits(command, lowerCount);
        SetResponseLength(15);
    }
}

std::string DispenserQuery_Dispense::StatusText(std::uint8_t status)
{
    return status == 0x30 ? "Enough notes (Normal)" : "Status of Near end";
}

bool DispenserQuery_Dispense::Interpret()
{
    const auto& p = Response();
    CassetteResult& upper = result_.cassettes[0];
    CassetteResult& lower = result_.cassettes[1];
    if (!twoCassette_) {
        const bool valid = CountField(p, 0, kMaxCheckedTens) && CountField(p, 2, '6') && InRange(p[5], '0', '1') &&
                           InRange(p[6], '0', '9') && InRange(p[7], '0', '9');
        if (!valid)
            return false;
        upper.checked = TwoDigits(p[0], p[1]);
        upper.exited = TwoDigits(p[2], p[3]);
        result_.error = p[4];
        upper.status = p[5];
        upper.rejected = TwoDigits(p[6], p[7]);
        lower.checked = lower.exited = lower.rejected = lower.status = 0;
        lower.statusText.clear();
    } else {
        const bool valid = CountField(p, 0, kMaxCheckedTens) && CountField(p, 2, '6') &&
                           CountField(p, 4, kMaxCheckedTens) && CountField(p, 6, '6') && InRange(p[9], '0', '1') &&
                           InRange(p[10], '0', '1') && CountField(p, 11, '9') && CountField(p, 13, '9');
        if (!valid)
            return false;
        upper.checked = TwoDigits(p[0], p[1]);
        upper.exited = TwoDigits(p[2], p[3]);
        lower.checked = TwoDigits(p[4], p[5]);
        lower.exited = TwoDigits(p[6], p[7]);
        result_.error = p[8];
        upper.status = p[9];
        lower.status = p[10];
        upper.rejected = TwoDigits(p[11], p[12]);
        lower.rejected = TwoDigits(p[13], p[14]);
        lower.statusText = StatusText(lower.status);
    }
    upper.statusText = StatusText(upper.status);
    result_.errorText = ErrorText(result_.error);
    if (AppLog* log = Log())
        log->Write(AppLog::Info,
                   "DispenserQuery_Dispense: результат запроса на выдачу %u/%u купюр: \"atCHK\":=%u:%u, "
                   "\"atEXIT\":=%u:%u, rejected:=%u:%u, error: %02X (\"%s\"), status1:%02X (\"%s\"), status2:%02X "
                   "(\"%s\")",
                   static_cast<unsigned>(upper.requested), static_cast<unsigned>(lower.requested),
                   static_cast<unsigned>(upper.checked), static_cast<unsigned>(lower.checked),
                   static_cast<unsigned>(upper.exited), static_cast<unsigned>(lower.exited),
                   static_cast<unsigned>(upper.rejected), static_cast<unsigned>(lower.rejected),
                   static_cast<unsigned>(result_.error), result_.errorText.c_str(), static_cast<unsigned>(upper.status),
                   upper.statusText.c_str(), static_cast<unsigned>(lower.status), lower.statusText.c_str());
    return true;
}
