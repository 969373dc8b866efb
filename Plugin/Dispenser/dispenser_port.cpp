// The framed exchange with the dispenser: command frame, one-byte acknowledgement,
// response frame, with the retries and time-outs of the device's protocol.
#include "Plugin/Dispenser/dispenser_port.h"

#include "MTSys/mtsys.h"
#include "Plugin/Dispenser/serial_port.h"
#include "Plugin/Dispenser/settings.h"
#include "framework/exceptions.h"
#include "framework/text_format.h"
#include "framework/usage_counters.h"

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <optional>

namespace {

// Reads from the line, counting what came: the benchmarks' line time.
std::size_t ReadCounted(SerialPort& line, void* buffer, std::size_t size)
{
    const std::size_t got = line.Read(nullptr, buffer, size);
    CountLineBytes(got);
    return got;
}

constexpr std::uint8_t kEot = 0x04;
constexpr std::uint8_t kSoh = 0x01;
constexpr std::uint8_t kId = 0x50;
constexpr std::uint8_t kStx = 0x02;
constexpr std::uint8_t kEtx = 0x03;
constexpr std::uint8_t kAck = 0x06;
constexpr std::uint8_t kNak = 0x15;

constexpr std::uint32_t kDefaultResponseTimeout = 60000;
constexpr std::uint32_t kDefaultMaxRetryCmd = 3;
constexpr std::uint32_t kDefaultMaxRetryRsp = 3;

// Milliseconds on a monotonic clock, wrapping like a 32-bit tick count.
std::uint32_t TickCount()
{
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

std::uint8_t Checksum(const std::uint8_t* bytes, std::size_t count)
{
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < count; ++i)
        sum ^= bytes[i];
    return sum;
}

// "04 50 02 47 03 12"
std::string Dump(const std::uint8_t* bytes, std::size_t count)
{
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        if (i != 0)
            text += ' ';
        text += FormatText("%02X", static_cast<unsigned>(bytes[i]));
    }
    return text;
}

// "4712": the command bytes run together.
std::string Digits(const std::vector<std::uint8_t>& bytes)
{
    std::string text;
    for (std::uint8_t byte : bytes)
        text += FormatText("%02X", static_cast<unsigned>(byte));
    return text;
}

std::vector<std::uint8_t> CommandFrame(const std::vector<std::uint8_t>& command)
{
    std::vector<std::uint8_t> frame{kEot, kId, kStx};
    frame.insert(frame.end(), command.begin(), command.end());
    frame.push_back(kEtx);
    frame.push_back(Checksum(frame.data(), frame.size()));
    return frame;
}

// An interval of MAXDWORD with no totals: a read returns at once with what is there.
constexpr std::uint32_t kReturnAtOnce = 0xFFFFFFFF;
// The longest any single read or write of the line may wait, in milliseconds.
constexpr std::uint32_t kLongestWait = 10 * 60 * 1000;
// More bytes than any frame of the link, either way.
constexpr std::uint32_t kLongestFrame = 64;

bool AllZero(std::uint32_t a, std::uint32_t b, std::uint32_t c = 0)
{
    return a == 0 && b == 0 && c == 0;
}

} // namespace

DispenserPort::DispenserPort(AppLog* log, std::vector<std::string>* errors,
                             const DispenserControl::Settings* settings)
    : DevicePort(log), errors_(errors), settings_(settings)
{
}

DispenserPort::~DispenserPort() = default;

std::string DispenserPort::NormalisePortName(const std::string& name)
{
    if (name.empty() || name.rfind("\\\\.\\", 0) == 0 || name.size() < 5)
        return name;
    const auto upper = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; };
    if (upper(name[0]) != 'C' || upper(name[1]) != 'O' || upper(name[2]) != 'M')
        return name;
    for (std::size_t i = 3; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9')
            return name;
    }
    return "\\\\.\\" + name;
}

void DispenserPort::ReportError(const std::string& text)
{
    if (text.empty())
        return;
    if (AppLog* log = Log())
        log->Write(AppLog::Error, "DispenserPort: %s", text.c_str());
    if (errors_ != nullptr)
        errors_->push_back(text);
}

void DispenserPort::Trace(int category, const char* format, ...)
{
    AppLog* log = Log();
    if (log == nullptr)
        return;
    std::va_list arguments;
    va_start(arguments, format);
    const std::string text = FormatTextV(format, arguments);
    va_end(arguments);
    log->WriteText(category, text);
}

std::unique_ptr<SerialPort> DispenserPort::OpenLine(const std::string& name)
{
    return SerialPort::Open(name);
}

SerialTimeouts DispenserPort::ReadTimeouts(const RegKey& key)
{
    SerialTimeouts defaults;
    SerialTimeouts timeouts;
    timeouts.readInterval = key.ReadDword("ReadIntervalTimeout", defaults.readInterval);
    timeouts.readTotalMultiplier = key.ReadDword("ReadTotalTimeoutMultiplier", defaults.readTotalMultiplier);
    timeouts.readTotalConstant = key.ReadDword("ReadTotalTimeoutConstant", defaults.readTotalConstant);
    timeouts.writeTotalMultiplier = key.ReadDword("WriteTotalTimeoutMultiplier", defaults.writeTotalMultiplier);
    timeouts.writeTotalConstant = key.ReadDword("WriteTotalTimeoutConstant", defaults.writeTotalConstant);
    // Values that would make a read or a write wait without end would also keep an
    // abort from ever being noticed: the defaults stand in for them.
    const bool noReadTotal = AllZero(timeouts.readTotalMultiplier, timeouts.readTotalConstant);
    const char* readProblem = nullptr;
    if (noReadTotal && timeouts.readInterval == 0)
        readProblem = "(все 0) означают бесконечное ожидание";
    else if (noReadTotal && timeouts.readInterval == kReturnAtOnce)
        // A frame would be read in pieces, and an answer on its way taken for a lost one.
        readProblem = "означают чтение без ожидания";
    else if (noReadTotal)
        // The interval only counts once a byte has come: the first one is awaited for ever.
        readProblem = "(без общего таймаута) означают бесконечное ожидание";
    if (readProblem != nullptr) {
        Trace(AppLog::Warning, "DispenserPort: таймауты чтения в реестре %s, используются значения по умолчанию",
              readProblem);
        timeouts.readInterval = defaults.readInterval;
        timeouts.readTotalMultiplier = defaults.readTotalMultiplier;
        timeouts.readTotalConstant = defaults.readTotalConstant;
    }
    if (AllZero(timeouts.writeTotalMultiplier, timeouts.writeTotalConstant)) {
        Trace(AppLog::Warning,
              "DispenserPort: таймауты записи в реестре (все 0) означают бесконечное ожидание, используются значения "
              "по умолчанию");
        timeouts.writeTotalMultiplier = defaults.writeTotalMultiplier;
        timeouts.writeTotalConstant = defaults.writeTotalConstant;
    }
    // No single read or write, whatever the settings, keeps the line (and a cancel)
    // waiting past its ceiling: half of it for the constant, half for the longest frame.
    const auto cap = [](std::uint32_t& value, std::uint32_t most) { value = std::min(value, most); };
    if (timeouts.readInterval != kReturnAtOnce)
        cap(timeouts.readInterval, kLongestWait);
    cap(timeouts.readTotalConstant, kLongestWait / 2);
    cap(timeouts.readTotalMultiplier, kLongestWait / 2 / kLongestFrame);
    cap(timeouts.writeTotalConstant, kLongestWait / 2);
    cap(timeouts.writeTotalMultiplier, kLongestWait / 2 / kLongestFrame);
    return timeouts;
}

std::unique_ptr<SerialPort> DispenserPort::OpenConfiguredLine(const RegKey& key, bool& busy)
{
    busy = false;
    const SerialPortSettings settings = settings_->GetPortSettings();
    const std::string name = NormalisePortName(settings.inUse ? settings.port : std::string());
    if (name.empty()) {
        ReportError("Не задан порт подключения устройства");
        return nullptr;
    }
    Trace(AppLog::Trace, "DispenserPort: задан порт %s", name.c_str());
    std::unique_ptr<SerialPort> line = OpenLine(name);
    if (!line) {
        busy = true;
        ReportError("Порт '" + name + "' занят");
        return nullptr;
    }
    SerialLineFormat format;
    format.parity = static_cast<std::uint8_t>(key.ReadDword("Parity", 0));
    format.stopBits = static_cast<std::uint8_t>(key.ReadDword("StopBits", 0));
    format.byteSize = static_cast<std::uint8_t>(key.ReadDword("ByteSize", 8));
    format.baudRate = static_cast<std::uint32_t>(settings.baudRate);
    format.flowControl = settings.flowControl;
    line->Configure(format, ReadTimeouts(key));
    // An answer the device repeated for an earlier, abandoned exchange must not be
    // taken for this command's acknowledgement.
    line->DiscardInput();
    return line;
}

void DispenserPort::WriteBytes(SerialPort& line, const std::vector<std::uint8_t>& bytes, bool endsExchange)
{
    Trace(AppLog::Trace, "DispenserPort: вывод: %s", Dump(bytes.data(), bytes.size()).c_str());
    // A write that does not reach the device shows up as a missing answer.
    const std::size_t written = line.Write(bytes.data(), bytes.size());
    // The line time an exchange waits for: not the acknowledgement that ends it.
    if (!endsExchange)
        CountLineBytes(written);
}

bool DispenserPort::Exchange(const MTSys::Event& abortEvent, const std::vector<std::uint8_t>& command,
                             std::vector<std::uint8_t>& response, bool finishOnceAcknowledged)
{
    bool succeeded = false;
    acknowledged_ = false;
    if (!abortEvent.IsSignalled()) {
        if (!settings_->IsEnabled()) {
            ReportError("Устройство не задействовано");
        } else {
            const RegKey key(RegistryRoot::LocalMachine, DispenserControl::kSettingsKey, false, RegAccessRead);
            bool busy = false;
            if (std::unique_ptr<SerialPort> line = OpenConfiguredLine(key, busy)) {
                succeeded = SendCommand(*line, key, abortEvent, command, response, finishOnceAcknowledged);
                if (Log() != nullptr) {
                    if (succeeded)
                        Trace(AppLog::Positive, "DispenserPort: обмен с устройством завершён успешно");
                    else
                        ReportError("Не удалось выполнить обмен с устройством");
                }
            }
            // The key, then the line, close here.
        }
    }
    // A note-moving answer read to its end after an abort is no aborted exchange.
    if (abortEvent.IsSignalled() && !(succeeded && finishOnceAcknowledged))
        ReportError("Обмен с устройством принудительно прерван");
    return succeeded;
}

bool DispenserPort::SendCommand(SerialPort& line, const RegKey& key, const MTSys::Event& abortEvent,
                                const std::vector<std::uint8_t>& command, std::vector<std::uint8_t>& response,
                                bool finishOnceAcknowledged)
{
    const std::vector<std::uint8_t> frame = CommandFrame(command);
    unsigned attempts = 0;
    while (!abortEvent.IsSignalled()) {
        Trace(AppLog::Positive, "DispenserPort: отправка команды %s", Digits(command).c_str());
        WriteBytes(line, frame);
        Trace(AppLog::Trace, "DispenserPort: получение подтверждения");
        std::uint8_t answer = 0;
        if (ReadCounted(line, &answer, 1) == 0) {
            ReportError("Таймаут подтверждения команды, возможно, устройство не подключено");
            return false;
        }
        Trace(AppLog::Trace, "DispenserPort: подтверждение получено: %02X", static_cast<unsigned>(answer));
        if (answer == kNak) {
            const std::uint32_t limit = key.ReadDword("MaxRetryCmd", kDefaultMaxRetryCmd);
            if (++attempts < limit) {
                Trace(AppLog::Warning, "DispenserPort: получено отрицательное подтверждение, в соответствии с "
                                       "протоколом устройства попытаемся передать команду повторно");
                continue;
            }
            ReportError(FormatBuffer(512,
                                     "Отрицательное подтверждение получено %u раз, связь с устройством неустойчива, "
                                     "прекращаем попытки передать команду",
                                     attempts));
            return false;
        }
        if (answer != kAck) {
            // It may have been the acknowledgement, damaged on the line.
            acknowledged_ = true;
            ReportError(FormatBuffer(512, "Получено неопознанное подтверждение (%02X), сбой связи с устройством",
                                     static_cast<unsigned>(answer)));
            return false;
        }
        acknowledged_ = true;
        Trace(AppLog::Info, "DispenserPort: положительное подтверждение получено, начинается ожидание ответа");
        return ReceiveResponse(line, key, abortEvent, finishOnceAcknowledged, command.front(), response);
    }
    return false;
}

std::uint32_t DispenserPort::ResponseTimeout(const RegKey& key)
{
    return std::min(key.ReadDword("DeviceResponseTimeout", kDefaultResponseTimeout), kLongestResponseTimeout);
}

// With `finishOnceAcknowledged` an abort only shortens the wait for the answer.
bool DispenserPort::ReceiveResponse(SerialPort& line, const RegKey& key, const MTSys::Event& abortEvent,
                                    bool finishOnceAcknowledged, std::uint8_t commandCode,
                                    std::vector<std::uint8_t>& response)
{
    const auto aborted = [&abortEvent, finishOnceAcknowledged] {
        return !finishOnceAcknowledged && abortEvent.IsSignalled();
    };
    // When an abort came while a note-moving answer is awaited, and how long it may still take.
    std::optional<std::uint32_t> abortSeen;
    const auto outwaitedAbort = [&]() {
        if (!finishOnceAcknowledged || !abortEvent.IsSignalled())
            return false;
        if (!abortSeen)
            abortSeen = TickCount();
        return static_cast<std::uint32_t>(TickCount() - *abortSeen) > answerAfterAbort_;
    };
    const std::size_t m = response.size();
    if (const std::uint32_t stored = key.ReadDword("DeviceResponseTimeout", kDefaultResponseTimeout);
        stored > kLongestResponseTimeout)
        Trace(AppLog::Warning, "DispenserPort: значение DeviceResponseTimeout (%u мс) больше предельного, используется %u мс",
              stored, kLongestResponseTimeout);
    std::uint32_t responseStart = TickCount();
    unsigned attempts = 0;
    while (!aborted()) {
        std::vector<std::uint8_t> buffer(m + 6);
        Trace(AppLog::Trace, "DispenserPort: получение заголовка ответа");
        const std::uint32_t headerStart = TickCount();
        bool header = false;
        unsigned polls = 1;
        while (!aborted()) {
            if (ReadCounted(line, buffer.data(), 1) == 1) {
                Trace(AppLog::Trace, "DispenserPort: получен заголовок ответа: %02X (попыток: %u, за %u мс)",
                      static_cast<unsigned>(buffer[0]), polls, static_cast<unsigned>(TickCount() - headerStart));
                header = true;
                break;
            }
            const std::uint32_t timeout = ResponseTimeout(key);
            if (static_cast<std::uint32_t>(TickCount() - responseStart) > timeout) {
                ReportError("Устройство не отвечает слишком долго");
                break;
            }
            if (outwaitedAbort()) {
                ReportError(FormatBuffer(512, "Ответ устройства не получен за %u с после отмены операции",
                                         answerAfterAbort_ / 1000));
                return false;
            }
            ++polls;
        }
        if (aborted())
            return false;

        if (header) {
            Trace(AppLog::Trace, "DispenserPort: получение ответа, ожидается %u байт", static_cast<unsigned>(m + 5));
            if (ReadCounted(line, buffer.data() + 1, m + 5) < m + 5) {
                ReportError("Сбой связи с устройством (таймаут получения ответа)");
                return false;
            }
            Trace(AppLog::Trace, "DispenserPort: получено: %s", Dump(buffer.data() + 1, m + 5).c_str());
        }
        const bool accepted = header && buffer[0] == kSoh && buffer[1] == kId && buffer[2] == kStx &&
                              buffer[3] == commandCode && buffer[4 + m] == kEtx &&
                              buffer[5 + m] == Checksum(buffer.data(), 5 + m);
        if (accepted) {
            Trace(AppLog::Positive, "DispenserPort: ответ опознан, отправляем положительное подтверждение");
            // The answer stands whether or not the acknowledgement reaches the device: a
            // note-moving command has done its work by now.
            try {
                WriteBytes(line, {kAck}, true);
            } catch (const OrvaneException& error) {
                Trace(AppLog::Warning, "DispenserPort: положительное подтверждение не отправлено: %s",
                      error.Reason().c_str());
            }
            std::copy(buffer.begin() + 4, buffer.begin() + 4 + static_cast<std::ptrdiff_t>(m), response.begin());
            return true;
        }
        Trace(AppLog::Warning, "DispenserPort: ответ не %s, отправляем отрицательное подтверждение",
              header ? "опознан" : "получен");
        WriteBytes(line, {kNak});
        const std::uint32_t limit = key.ReadDword("MaxRetryRsp", kDefaultMaxRetryRsp);
        if (++attempts < limit) {
            // After a damaged response the time counts on from the first attempt.
            if (!header)
                responseStart = TickCount();
            continue;
        }
        ReportError(FormatBuffer(512,
                                 "Отрицательное подтверждение отправлено %u раз, связь с устройством неустойчива, "
                                 "прекращаем попытки получить ответ",
                                 attempts));
        return false;
    }
    return false;
}
