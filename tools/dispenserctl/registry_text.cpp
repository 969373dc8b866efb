#include "tools/dispenserctl/registry_text.h"

#include "framework/registry_hive.h"
#include "framework/text_format.h"
#include "framework/text_utils.h"
#include "tools/dispenserctl/command_line.h"

#include <algorithm>
#include <charconv>

namespace {

constexpr const char* kTopic = "config set";

[[noreturn]] void Refuse(const std::string& reason)
{
    throw UsageError(std::string(kTopic) + ": " + reason, kTopic);
}

bool IsDigits(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

RegData ParseDword(std::string_view digits, int base, std::string_view whole)
{
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    if (error == std::errc::result_out_of_range)
        Refuse("'" + std::string(whole) + "' does not fit a DWORD (at most 4294967295)");
    if (error != std::errc() || end != digits.data() + digits.size())
        Refuse("'" + std::string(whole) + "' is not a DWORD: dword: takes 1 to 8 hexadecimal digits");
    return RegData::Dword(value);
}

// A text in double quotes, with the escapes of .reg files.
std::string Unquote(std::string_view quoted)
{
    std::string text;
    for (std::size_t i = 1; i + 1 < quoted.size(); ++i) {
        if (quoted[i] == '\\' && i + 2 < quoted.size() && (quoted[i + 1] == '\\' || quoted[i + 1] == '"'))
            ++i;
        text.push_back(quoted[i]);
    }
    return text;
}

// Names in the order regedit shows them: without regard to letter case.
std::vector<std::string> Sorted(std::vector<std::string> names)
{
    std::sort(names.begin(), names.end(), NoCaseLess());
    return names;
}

void ExportKey(const RegKey& key, const std::string& fullPath, std::string& out)
{
    out += "\n[" + fullPath + "]\n";
    for (const std::string& name : Sorted(key.ValueNames())) {
        const std::optional<RegData> data = key.Read(name);
        if (!data || data->type == RegValueType::Other)
            continue;
        out += (name.empty() ? "@" : RegText(RegData::String(name))) + "=" + RegText(*data) + "\n";
    }
    for (const std::string& subkey : Sorted(key.SubkeyNames()))
        ExportKey(RegKey(key, subkey, false, RegAccessRead), fullPath + "\\" + subkey, out);
}

} // namespace

ValueAssignment ParseAssignment(std::string_view text)
{
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos)
        Refuse("'" + std::string(text) + "' is not NAME=VALUE");
    std::string path(text.substr(0, equals));
    std::replace(path.begin(), path.end(), '/', '\\');
    const std::string_view value = text.substr(equals + 1);

    ValueAssignment assignment;
    const std::size_t separator = path.rfind('\\');
    assignment.name = separator == std::string::npos ? path : path.substr(separator + 1);
    assignment.subkey = separator == std::string::npos ? "" : path.substr(0, separator);
    if (assignment.name.empty())
        Refuse("'" + std::string(text) + "' names no value (NAME is empty or ends in a separator)");
    if (assignment.subkey.find("\\\\") != std::string::npos || assignment.subkey.rfind('\\', 0) == 0)
        Refuse("'" + std::string(text) + "' has an empty key name in its path");

    if (IsDigits(value)) {
        assignment.data = ParseDword(value, 10, value);
    } else if (value.substr(0, 6) == "dword:") {
        const std::string_view digits = value.substr(6);
        if (digits.empty() || digits.size() > 8)
            Refuse("'" + std::string(value) + "' is not a DWORD: dword: takes 1 to 8 hexadecimal digits");
        assignment.data = ParseDword(digits, 16, value);
    } else if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        assignment.data = RegData::String(Unquote(value));
    } else {
        assignment.data = RegData::String(std::string(value));
    }
    return assignment;
}

std::string RegText(const RegData& data)
{
    if (data.type == RegValueType::Dword)
        return FormatText("dword:%08x", static_cast<unsigned>(data.dword));
    std::string quoted = "\"";
    for (char c : data.text) {
        switch (c) {
        case '\\':
            quoted += "\\\\";
            break;
        case '"':
            quoted += "\\\"";
            break;
        case '\n':
            quoted += "\\n";
            break;
        case '\r':
            quoted += "\\r";
            break;
        default:
            quoted.push_back(c);
        }
    }
    return quoted + "\"";
}

std::string DescribeData(const RegData& data)
{
    if (data.type == RegValueType::Dword)
        return RegText(data) + FormatText(" (%u)", static_cast<unsigned>(data.dword));
    return RegText(data);
}

std::string ExportTree(const RegKey& key)
{
    std::string out = "Windows Registry Editor Version 5.00\n";
    ExportKey(key, HiveKeyPath(key.Root(), key.Path()), out);
    return out;
}
