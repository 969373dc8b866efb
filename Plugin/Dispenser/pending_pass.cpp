#include "Plugin/Dispenser/pending_pass.h"

#include "Plugin/Dispenser/saturating.h"
#include "framework/exceptions.h"
#include "framework/real_time.h"
#include "framework/text_format.h"

namespace DispenserControl {

const char* const kPendingKey = "Pending";

namespace {

const char* const kAskedNames[2] = {"Asked1", "Asked2"};

std::string NowText()
{
    const CalendarTime now = Now().Calendar();
    return FormatText("%04d-%02d-%02d %02d:%02d:%02d", now.year, now.month, now.day, now.hour, now.minute, now.second);
}

} // namespace

std::uint32_t PendingPass::Total() const
{
    return SaturatingAdd(asked[0], asked[1]);
}

std::optional<PendingPass> ReadPendingPass(const Settings& store)
{
    if (!store.Key().IsOpen() || !store.Key().HasSubkey(kPendingKey))
        return std::nullopt;
    const RegKey key(store.Key(), kPendingKey, false, RegAccessRead);
    PendingPass pass;
    // A marker whose values cannot be read is still a marker: its notes count as unknown.
    try {
        pass.operation = key.ReadString("Operation");
        pass.time = key.ReadString("Time");
        for (int c = 0; c < 2; ++c)
            pass.asked[c] = key.ReadDword(kAskedNames[c]);
    } catch (const OrvaneException&) {
        pass.operation = "?";
    }
    return pass;
}

bool WritePendingPass(Settings& store, const PendingPass& pass)
{
    store.CheckWritable();
    if (!store.Key().CreateNewSubkey(kPendingKey))
        return false;
    RegKey key(store.Key(), kPendingKey, true, RegAccessAll);
    // The counts first: a marker cut short by a crash still names the notes.
    for (int c = 0; c < 2; ++c)
        key.Write(kAskedNames[c], RegData::Dword(pass.asked[c]));
    key.Write("Time", RegData::String(pass.time.empty() ? NowText() : pass.time));
    key.Write("Operation", RegData::String(pass.operation));
    key.Flush();
    return true;
}

void RemovePendingPass(Settings& store)
{
    store.CheckWritable();
    store.Key().DeleteTree(kPendingKey);
    store.Key().Flush();
}

void SettlePendingCassette(Settings& store, int number)
{
    const std::optional<PendingPass> pass = ReadPendingPass(store);
    if (!pass)
        return;
    PendingPass rest = *pass;
    rest.asked[number - 1] = 0;
    if (rest.Total() == 0) {
        RemovePendingPass(store);
        return;
    }
    RegKey key(store.Key(), kPendingKey, true, RegAccessAll);
    key.Write(kAskedNames[number - 1], RegData::Dword(0));
    key.Flush();
}

std::string PendingPassRefusal(const PendingPass& pass)
{
    return FormatText("Результат предыдущей выдачи неизвестен (кассета #1: %u шт., кассета #2: %u шт.): выдача купюр "
                      "запрещена до сверки. Пересчитайте купюры в кассетах и введите количество в настройке кассеты "
                      "или командой \"dispenserctl reconcile\"",
                      pass.asked[0], pass.asked[1]);
}

} // namespace DispenserControl
