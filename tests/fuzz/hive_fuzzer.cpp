// Any bytes as a registry file: either an InvalidValue naming the line, or a hive
// whose text reads back as the same hive.
#include "framework/exceptions.h"
#include "framework/registry_hive.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Hive hive;
    try {
        hive = Hive::Parse(text, "fuzz.reg");
    } catch (const InvalidValue&) {
        return 0;
    }
    const std::string written = hive.Serialize();
    if (Hive::Parse(written, "again.reg").Serialize() != written)
        std::abort();
    return 0;
}
