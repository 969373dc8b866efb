#include "Plugin/Plugin/port_list.h"

#include "framework/registry.h"

#include <algorithm>
#include <cctype>

namespace Plugin {

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

char Lower(char c)
{
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

// Adds the name at its place unless an equal one is there.
void InsertPort(std::vector<std::string>& ports, const std::string& name)
{
    const auto place = std::lower_bound(ports.begin(), ports.end(), name, [](const std::string& a, const std::string& b) {
        return CompareComPorts(a, b) < 0;
    });
    if (place == ports.end() || CompareComPorts(*place, name) != 0)
        ports.insert(place, name);
}

} // namespace

std::uint32_t ComPortNumber(std::string_view name)
{
    if (name.size() < 3 || Lower(name[0]) != 'c' || Lower(name[1]) != 'o' || Lower(name[2]) != 'm')
        return 0;
    std::size_t at = 3;
    while (at < name.size() && IsBlank(name[at]))
        ++at;
    bool negative = false;
    if (at < name.size() && (name[at] == '+' || name[at] == '-'))
        negative = name[at++] == '-';
    const std::size_t digits = at;
    std::uint64_t value = 0;
    for (; at < name.size() && name[at] >= '0' && name[at] <= '9'; ++at)
        value = std::min<std::uint64_t>(value * 10 + static_cast<unsigned>(name[at] - '0'), UINT32_MAX);
    if (at == digits || at != name.size())
        return 0;
    // A negative number wraps as an unsigned conversion does; no real port has one.
    return negative ? static_cast<std::uint32_t>(0 - value) : static_cast<std::uint32_t>(value);
}

int CompareComPorts(std::string_view a, std::string_view b)
{
    const std::uint32_t numberA = ComPortNumber(a);
    const std::uint32_t numberB = ComPortNumber(b);
    if (numberA != 0 && numberB != 0)
        return numberA < numberB ? -1 : numberA > numberB ? 1 : 0;
    if (numberA != 0 || numberB != 0)
        return numberA != 0 ? -1 : 1;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        const char x = Lower(a[i]);
        const char y = Lower(b[i]);
        if (x != y)
            return static_cast<unsigned char>(x) < static_cast<unsigned char>(y) ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

std::vector<std::string> AvailablePorts(const std::string& current)
{
    std::vector<std::string> ports;
    const RegKey key(RegistryRoot::LocalMachine, "HARDWARE\\DEVICEMAP\\SERIALCOMM", false, RegAccessRead);
    if (key.IsOpen()) {
        for (const std::string& name : key.ValueNames()) {
            const std::optional<RegData> data = key.Read(name);
            if (data && data->type == RegValueType::String && !data->text.empty())
                InsertPort(ports, data->text);
        }
    }
    if (!current.empty())
        InsertPort(ports, current);
    return ports;
}

} // namespace Plugin
