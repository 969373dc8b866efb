#include "Plugin/Plugin/session_variables.h"

#include "framework/exceptions.h"
#include "framework/numbers.h"

#include <cmath>
#include <limits>

void SessionVariables::SetUInt(const std::string& name, std::uint32_t value)
{
    SetValue(name, Format(FormatInteger, value, 0));
}

void SessionVariables::SetBool(const std::string& name, bool value)
{
    if (value)
        SetValue(name, Format(FormatInteger, 1, 0));
    else
        Clear(name);
}

std::int32_t SessionVariables::GetInt(const std::string& name)
{
    return ReadInt(name, false);
}

std::int32_t SessionVariables::GetWholeInt(const std::string& name)
{
    return ReadInt(name, true);
}

std::int32_t SessionVariables::ReadInt(const std::string& name, bool wholeOnly)
{
    const std::string text = GetValue(name);
    if (text.empty())
        return 0;
    double value = 0;
    try {
        try {
            value = ScanNumberEx(FormatInteger, text, ScanStrict, -1);
        } catch (const NumericSyntax&) {
            value = ScanNumberEx(FormatLenient, text, ScanStrict, -1);
        }
    } catch (const NumericScanException&) {
        throw OVAppException("Неверный формат числа: " + name + "=" + text);
    }
    if (wholeOnly && std::trunc(value) != value)
        throw OVAppException("Неверный формат числа: " + name + "=" + text);
    value = std::trunc(value);
    // A number that does not fit is as wrong as one that is no number at all.
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
        throw OVAppException("Неверный формат числа: " + name + "=" + text);
    return static_cast<std::int32_t>(value);
}

namespace {

std::string Lower(const std::string& name)
{
    std::string lower = name;
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

} // namespace

std::string MapSession::GetValue(const std::string& name)
{
    const auto spelled = spelling_.find(Lower(name));
    return spelled == spelling_.end() ? std::string() : values_[spelled->second];
}

void MapSession::SetValue(const std::string& name, const std::string& text)
{
    const auto [spelled, added] = spelling_.emplace(Lower(name), name);
    values_[spelled->second] = text;
}
