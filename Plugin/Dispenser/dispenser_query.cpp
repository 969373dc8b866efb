#include "Plugin/Dispenser/dispenser_query.h"

#include "framework/exceptions.h"
#include "framework/text_format.h"

namespace {

struct ErrorCode {
    std::uint8_t code;
    const char* text;
};

constexpr ErrorCode kErrorCodes[] = {
    {0x30, "Good"},
    {0x31, "Normal stop"},
    {0x32, "Pickup error"},
    {0x33, "JAM at CHK1,2 Sensor"},
    {0x34, "Overflow bill"},
    {0x35, "JAM at EXIT Sensor or EJT Sensor"},
    {0x36, "JAM at DIV Sensor"},
    {0x37, "Undefined command"},
    {0x38, "Bill- End (Upper Bill- End)"},
    {0x3A, "Counting Error(between CHK3,4 Sensor and DIV Sensor)"},
    {0x3B, "Note request error"},
    {0x3C, "Counting Error(between DIV Sensor and EJT Sensor)"},
    {0x3D, "Counting Error(between EJT Sensor and EXIT Sensor)"},
    {0x3F, "Reject Tray is not recognized"},
    {0x40, "Lower Bill-End"},
    {0x41, "Motor Stop"},
    {0x42, "JAM at Div Sensor"},
    {0x43, "Timeout (From DIV Sensor to EJT Sensor)"},
    {0x44, "Over Reject"},
    {0x45, "[Upper] Cassette is not recognized"},
    {0x46, "Lower Cassette is not recognized"},
    {0x47, "Dispensing timeout"},
    {0x48, "JAM at EJT Sensor"},
    {0x49, "Diverter solenoid or SOL Sensor error"},
    {0x4A, "SOL Sensor error"},
    {0x4C, "JAM at CHK3,4 Sensor"},
    {0x4E, "Purge error (Jam at Div Sensor)"},
};

} // namespace

const char* const DispenserQuery::kSensorNamesA[7] = {"CHK SENSOR 1", "CHK SENSOR 2", "DIV SENSOR 1", "DIV SENSOR 2",
                                                      "EJT SENSOR",   "EXIT SENSOR",  "NEAREND0 SENSOR"};

const char* const DispenserQuery::kSensorNamesB2000[7] = {"SOL SENSOR",   "CASSETTE0 SENSOR", "CASSETTE1 SENSOR",
                                                          "CHK SENSOR 3", "CHK SENSOR 4",     "NEAREND1 SENSOR",
                                                          "REJECT TRAY S/W"};

std::string DispenserQuery::ErrorText(std::uint8_t code)
{
    for (const ErrorCode& row : kErrorCodes) {
        if (row.code == code)
            return row.text;
    }
    return "неизвестный код";
}

std::string DispenserQuery::SensorText(std::uint8_t sensors, const char* const names[7])
{
    std::string text;
    for (int bit = 0; bit < 7; ++bit) {
        if ((sensors & (1u << bit)) == 0)
            continue;
        if (!text.empty())
            text += ", ";
        text += names[bit];
    }
    return text.empty() ? "Ok" : text;
}

DispenserQuery::DispenserQuery(DispenserPort& port, std::size_t responseLength)
    : port_(port), response_(responseLength, 0)
{
}

DispenserQuery::~DispenserQuery()
{
    // The exchange must be over before another request may have the port.
    WaitForEnd();
    portLock_.reset();
}

bool DispenserQuery::Initiate(WindowHandle window, unsigned message)
{
    if (portLock_) {
        Cancel(true);
        Query::Initiate(window, message);
        SetState(QueryFailed);
        throw InternalError(
            FormatBuffer(4096, "DispenserQuery internal error: repeated Initiate (%s:%i)", __FILE_NAME__, __LINE__));
    }
    portLock_ = port_.TryLock();
    if (portLock_) {
        if (QueryThread::Initiate(window, message))
            return true;
        // No thread to run it: the request has failed, and the port is free again.
        portLock_.reset();
        AddError("Не удалось запустить поток запроса к устройству");
        return false;
    }
    Query::Initiate(window, message);
    SetState(QueryBusy);
    return false;
}

void DispenserQuery::AddError(const std::string& text)
{
    std::vector<std::string>* errors = port_.Errors();
    if (errors != nullptr && !text.empty())
        errors->push_back(text);
}

std::int32_t DispenserQuery::Execute()
{
    std::int32_t state = QueryFailed;
    if (port_.Exchange(StopEvent(), command_, response_, MovesNotes()))
        state = QueryCompleted;
    else if (StopEvent().IsSignalled())
        state = QueryCancelled;
    if (state == QueryCompleted) {
        std::lock_guard lock(ResultLock());
        if (!Interpret()) {
            if (AppLog* log = Log())
                log->Write(AppLog::Error, "DispenserQuery: не удалось интерпретировать ответ устройства");
            AddError("Не удалось интерпретировать ответ устройства");
            state = QueryFailed;
        }
    }
    return state;
}

std::int32_t DispenserQuery::Run()
{
    std::int32_t state = QueryFailed;
    try {
        state = Execute();
    } catch (const SilentCancel&) {
        state = QueryCompleted;
    } catch (const OrvaneException& error) {
        if (AppLog* log = Log())
            log->Write(AppLog::Error, "DispenserQuery: необработанное исключение: %s", error.Reason().c_str());
        AddError(error.Reason());
        state = QueryFailed;
    } catch (...) {
        if (AppLog* log = Log())
            log->Write(AppLog::Error, "DispenserQuery: необработанное исключение неизвестного типа");
        AddError("Неизвестная ошибка");
        state = QueryFailed;
    }
    mayHaveRun_ = port_.CommandAcknowledged();
    SetState(state);
    return state;
}
