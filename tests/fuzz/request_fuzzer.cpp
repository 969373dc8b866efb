// Any answer payload through each request's interpreter: the request ends either
// completed or failed with "Не удалось интерпретировать ответ устройства", and never
// crashes. The first input byte chooses the request, the rest is its payload.
#include "Plugin/Dispenser/dispenser_requests.h"
#include "Plugin/Dispenser/settings.h"
#include "framework/posix/registry_hive_file.h"
#include "tests/support/scripted_line.h"

#include <cstdlib>
#include <memory>
#include <string>

namespace {

std::unique_ptr<DispenserQuery> MakeRequest(std::uint8_t choice, DispenserPort& port, std::size_t& length)
{
    switch (choice % 7) {
    case 0: length = 4; return std::make_unique<DispenserQuery_Status>(port, true);
    case 1: length = 4; return std::make_unique<DispenserQuery_Status>(port, false);
    case 2: length = 8; return std::make_unique<DispenserQuery_RomVersion>(port);
    case 3: length = 1; return std::make_unique<DispenserQuery_Purge>(port);
    case 4: length = 8; return std::make_unique<DispenserQuery_TestReject>(port, (choice & 0x80) != 0);
    case 5: length = 8; return std::make_unique<DispenserQuery_Dispense>(port, choice % 61, 0);
    default: length = 15; return std::make_unique<DispenserQuery_Dispense>(port, choice % 61, 1 + choice % 60);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // The exchange reads its settings key: an empty hive of the fuzzer's own.
    SetRegistryHivePath("/tmp/request_fuzzer_registry.reg");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    DispenserControl::SettingsOverride override;
    override.enabled = true;
    override.device = "LCDM-2000";
    override.port.inUse = true;
    override.port.port = "COM1";
    DispenserControl::Settings settings(false, &override);
    std::vector<std::string> errors;
    LineScript script;
    ScriptedPort port(script, nullptr, &errors, &settings);
    std::size_t length = 0;
    const std::unique_ptr<DispenserQuery> request = MakeRequest(data[0], port, length);
    std::vector<std::uint8_t> payload(data + 1, data + size);
    payload.resize(length, 0x30);
    script.Answer({0x06, payload});
    request->Initiate(nullptr, 0);
    const std::int32_t state = request->GetState(true);
    const bool completed = state == QueryCompleted && errors.empty();
    const bool refused = state == QueryFailed && errors == std::vector<std::string>{"Не удалось интерпретировать ответ устройства"};
    if (!completed && !refused)
        std::abort();
    return 0;
}
