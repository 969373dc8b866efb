#include "Plugin/Dispenser/dispenser_log.h"

#include "Plugin/Dispenser/settings.h"
#include "Plugin/Dispenser/version.h"
#include "framework/paths.h"
#include "framework/registry.h"
#include "framework/text_format.h"

#include <mutex>

namespace {

std::mutex g_instanceMutex;
std::shared_ptr<DispenserLogHandler> g_instance;

std::string DayText(const CalendarTime& day)
{
    return FormatText("%04u-%02u-%02u", static_cast<unsigned>(day.year), static_cast<unsigned>(day.month),
                      static_cast<unsigned>(day.day));
}

} // namespace

std::shared_ptr<DispenserLogHandler> DispenserLogHandler::Instance()
{
    std::lock_guard lock(g_instanceMutex);
    if (!g_instance)
        g_instance.reset(new DispenserLogHandler());
    return g_instance;
}

void DispenserLogHandler::Release()
{
    std::shared_ptr<DispenserLogHandler> released;
    {
        std::lock_guard lock(g_instanceMutex);
        released.swap(g_instance);
    }
    // Destroyed here, outside the lock, when nobody else holds it.
}

std::string DispenserLogHandler::SubstituteDate(const std::string& path, const CalendarTime& day)
{
    std::string result = path;
    const std::size_t star = result.find('*');
    if (star != std::string::npos)
        result.replace(star, 1, "(" + DayText(day) + ")");
    return result;
}

DispenserLogHandler::DispenserLogHandler()
{
    for (AppLog* log : {&trace_, &operations_})
        log->SetOptions(log->GetOptions() | AppLog::OptionTimeStamp | AppLog::OptionCategory);

    std::string debugLog;
    std::string logDir;
    {
        const RegKey key(RegistryRoot::LocalMachine, DispenserControl::kSettingsKey, false, RegAccessRead);
        debugLog = key.ReadString("DebugLog");
        logDir = key.ReadString("LogDir");
    }

    if (debugLog.find('*') != std::string::npos)
        trace_.SetDailyLogPath([debugLog](const CalendarTime& day) { return SubstituteDate(debugLog, day); });
    else if (!debugLog.empty())
        trace_.SetLogPath(debugLog);
    trace_.Write(AppLog::Info, "Dispenser Log: Orvane Tallivox, версия %s", DISPENSER_VERSION_TEXT);

    if (!logDir.empty()) {
        // A journal that cannot be written is told in the trace log as well.
        operations_.SetFailureObserver([this](const std::string& failure) {
            trace_.WriteText(AppLog::Error, "Dispenser Log: " + failure);
        });
        const std::string folder = MakePathSpec(logDir);
        const std::string opening = FormatText("%u\t%s\t%u\t;журнал открыт (формат сообщений: %u)", EventOpen, "OPEN",
                                               kRecordFormatVersion, kRecordFormatVersion);
        operations_.SetDailyLogPath(
            [folder](const CalendarTime& day) { return SubstituteDate(folder + DayText(day) + ".txt", day); }, opening);
    }
}

DispenserLogHandler::~DispenserLogHandler()
{
    WriteRecord(EventClose, "CLOSE", kRecordFormatVersion, "журнал закрыт");
    trace_.Write(AppLog::Info, "Dispenser Log: журнал закрыт");
    operations_.SetFailureObserver(nullptr);
}

std::string DispenserLogHandler::RecordText(unsigned code, const char* word, unsigned value,
                                            std::string_view comment)
{
    std::string record = FormatText("%u\t%s\t%u", code, word, value);
    if (!comment.empty()) {
        record += "\t;";
        // A comment carries outside text (a port name, a device's error text): a tab or a
        // line break in it must not add fields or lines to the journal.
        for (const char c : comment)
            record += c == '\t' || c == '\r' || c == '\n' ? ' ' : c;
    }
    return record;
}

void DispenserLogHandler::WriteRecord(unsigned code, const char* word, unsigned value, std::string_view comment)
{
    if (!operations_.HasDestination())
        return;
    operations_.WriteText(AppLog::Info, RecordText(code, word, value, comment));
}

bool DispenserLogHandler::WriteRecordDurably(unsigned code, const char* word, unsigned value,
                                             std::string_view comment, std::string& error)
{
    if (!operations_.HasDestination())
        return true;
    return operations_.WriteTextDurably(AppLog::Info, RecordText(code, word, value, comment), error);
}
